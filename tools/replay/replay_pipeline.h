#pragma once
// Replaying a log through the plug-in as one call: the contest reset, every QSO, the score, and
// what was asked beside it (the export, the report page, a call check, each QSO's answer).
// stats-replay and the log robot call it.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "cabrillo/header_answers.h"
#include "tools/host/log_source.h"
#include "tools/host/replay_session.h"
#include "tools/host/startup.h"
#include "tools/logs/score_line.h"
#include "tools/submission/check_log.h"
#include "tools/verify/cabrillo_check.h"

namespace replay {

/// A call typed after the log: what the plug-in shows while it is typed.
struct CallCheckRequest {
    std::string call;
    std::string band;  ///< "40m", "20m"
    std::string mode;  ///< "CW", "SSB"
};

/// What to replay and what to make of it.
struct ReplayRequest {
    host::LogSource log;           ///< a relative path is taken from the current folder of the call
    host::ContestChoices choices;  ///< own call and country, contest period; empty: from the log
    /// The host's folder (err.txt, Plugins/, the Cabrillo file), created when missing; empty: the
    /// current one. The current folder is the same again after.
    std::filesystem::path workFolder;
    bool exportLog = false;                  ///< export mode: the plug-in writes CALL.cbr
    stats::HeaderAnswers header;             ///< the header dialog's fields given, by tag
    bool report = false;                     ///< make the report page
    int minBreak = 30;                       ///< the report's shortest break, in minutes
    std::optional<host::LogSource> compare;  ///< a second log set beside the first in the report
    std::string generator;                   ///< the report's "made by" line
    bool answers = false;                    ///< keep each QSO's answer (ReplayOutcome::answers)
    /// Check a Cabrillo log as stats-verify does, on this replay (ReplayOutcome::checked); its
    /// findings go into the report.
    bool checkLog = false;
    std::optional<CallCheckRequest> check;
    /// Called with each note as it comes (they are kept in the outcome too).
    std::function<void(const std::string&)> note;
    /// Called now and then while reading ("reading") and replaying ("replaying").
    std::function<void(const char* what, std::uint64_t done, std::uint64_t total)> progress;
};

/// What the plug-in answered for one QSO.
enum class QsoVerdict : std::uint8_t { kAccepted, kDupe, kRejected };

/// How a QSO was made, as the report classifies it by frequency.
enum class Operating : std::uint8_t { kUnknown, kRun, kSearchAndPounce };

/// One QSO of the log and the plug-in's answer, in replay order.
struct QsoAnswer {
    std::uint64_t record = 0;  ///< ADIF record or Cabrillo line number
    std::chrono::sys_seconds when{};
    std::string band, mode, call, sentNumber, receivedNumber, transmitter;
    QsoVerdict verdict = QsoVerdict::kAccepted;
    std::string reason;     ///< a rejection's reason as err.txt gives it ("NO CONTEST BAND !!!")
    std::string newPrefix;  ///< the SA prefix this QSO gave first, else empty
    Operating operating = Operating::kUnknown;
};

/// The plug-in's answer to a call check.
struct CallCheckAnswer {
    std::string call, prefix, continent;  ///< continent empty when unknown
    int result = 0;                       ///< CheckCall0: 0 dupe, 1 SA prefix already worked, 2 otherwise
    std::string hint;                     ///< the hint text, empty when none
    std::string text;                     ///< the lines stats-replay prints (CR LF)
};

/// What a replay gave.
struct ReplayOutcome {
    /// Non-empty: what went wrong. When `replayed`, the summary and the rest are there and the
    /// failure came after (the report or the comparison); otherwise nothing ran.
    std::string failure;
    bool replayed = false;
    bool cabrillo = false;                 ///< the log was Cabrillo (else ADIF)
    std::string summary;                   ///< as GetResult0 returned it
    std::optional<logs::Score> score;      ///< the summary's score line
    std::size_t qsos = 0;                  ///< QSOs replayed
    std::size_t skipped = 0;               ///< records or lines that did not parse
    std::size_t continentUnknown = 0;      ///< QSOs without continent and without a country file
    std::filesystem::path errorLog;        ///< err.txt of the run
    std::uintmax_t errorLogStart = 0;      ///< where this run's lines start in it
    std::vector<QsoAnswer> answers;        ///< with ReplayRequest::answers
    std::optional<CallCheckAnswer> check;  ///< with ReplayRequest::check
    std::string reportPage;                ///< with ReplayRequest::report: the HTML page
    std::vector<verify::CheckFinding>
        cabrilloFindings;  ///< a Cabrillo input's check findings (with a report)
    std::optional<verify::CheckOutcome> checked;  ///< with ReplayRequest::checkLog, for a Cabrillo log
    std::filesystem::path
        exportedFile;       ///< export mode: the Cabrillo file the plug-in names after the own call
    bool exported = false;  ///< that file was written by this run (not: the dialog was cancelled)
    std::vector<verify::CheckFinding> exportFindings;  ///< export mode: the check of that file
    std::vector<std::string> notes;                    ///< every note, in order

    /// host::kExitOk or kExitFailure.
    int exitStatus() const { return failure.empty() ? host::kExitOk : host::kExitFailure; }
};

/// Replays the log through the startup's plug-in with its country file, in the working folder.
ReplayOutcome replayLog(host::Startup& startup, const ReplayRequest& request);

/// The error-log lines this run added (ReplayOutcome::errorLog from errorLogStart), in pieces to `sink`.
void copyErrorLines(const ReplayOutcome& outcome, const std::function<void(std::string_view)>& sink);

}  // namespace replay
