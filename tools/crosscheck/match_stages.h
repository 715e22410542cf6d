#pragma once
// The matcher's stages, in the order crossCheck runs them. The stages taking a log `a` write only
// that log's record and verdicts, and the other logs' ties of the pairs the task owns, so that
// the logs run on several threads.

#include <cstddef>

#include "tools/crosscheck/match_state.h"

namespace crosscheck::match {

/// Reconciliation of log `a`: the QSOs the rules reject, then the dupes (in the log's order, where
/// the options say so), each QSO's time as logged.
void reconcile(Matching& m, std::size_t a);
/// The dupes of log `a` by the contest's rules, its periods judged at the log's time less `offset`;
/// true when a verdict changed.
bool judgeDupes(Matching& m, std::size_t a, std::int64_t offset);

/// Sorts log `a`'s judged QSOs into groups (call, band and mode) and indexes them for lookups.
void indexGroups(Matching& m, std::size_t a);

/// Each group's counterpart in its partner's log; with `collect`, the exact matches of the two too.
void findMirrors(Matching& m, std::size_t a, bool collect);

/// Hands the exact matches that one log's task found for another to that log's record.
void gatherExactMatches(Matching& m);

/// Each log's clock offset from its exact matches, taken off its times.
void solveClockOffsets(Matching& m);

/// Prepares the period stage: with the contest's own periods, a QSO outside them is matched first.
void preparePeriod(Matching& m);

/// The contest period of log `a`, judged on its corrected times; its groups sorted again if any left.
void checkPeriod(Matching& m, std::size_t a);

/// How many logs hold each call worked, and the logged calls one edit from each call without log.
void countWorkedCalls(Matching& m);
void findNearCalls(Matching& m);

/// The pairing passes, each over every log before the next: the same QSO within the window; the
/// same numbers at any distance in time; the same QSO on another band or mode; a QSO on a band the
/// contest lacks; a busted call
/// within the window; a busted call (substituted or transposed) with both serials agreeing.
void pairDirect(Matching& m, std::size_t a);
void pairTimeMismatch(Matching& m, std::size_t a);
void pairBandOrMode(Matching& m, std::size_t a);
/// A QSO of log `a` on a band the contest lacks (a mistyped frequency) with the other log's untied
/// QSO in its mode on any band within the window, both numbers agreeing: that QSO is matched, this
/// one stays OUT OF BAND.
void pairOffBand(Matching& m, std::size_t a);
void pairBusted(Matching& m, std::size_t a);
void pairBustedBySerials(Matching& m, std::size_t a);

/// The verdict of each judged QSO of log `a` from its tie.
void verdicts(Matching& m, std::size_t a);

/// For a definition's contests: of the QSOs with one station on one band and mode (within the
/// repeat time, within a period where each starts afresh), the first the other log confirms counts.
void dupesAfterMatching(Matching& m, std::size_t a);

}  // namespace crosscheck::match
