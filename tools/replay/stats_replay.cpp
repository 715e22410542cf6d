// stats-replay: replays an ADIF or Cabrillo contest log through the plug-in from the command line,
// calling its exports in the order and with the parameters the logging host uses; or, with
// --verify, checks a Cabrillo log before it is sent.

#include <chrono>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "stats_version.h"
#include "tools/host/log_source.h"
#include "tools/host/startup.h"
#include "tools/logs/utf8_path.h"
#include "tools/replay/qso_csv.h"
#include "tools/replay/replay_options.h"
#include "tools/replay/replay_pipeline.h"
#include "tools/report/html_page.h"
#include "tools/submission/check_log.h"

namespace fs = std::filesystem;

namespace {

// Progress on a terminal only, at most a few times a second.
class Progress {
  public:
    explicit Progress(bool shown) : shown_(shown) {}
    void show(const char* what, std::uint64_t done, std::uint64_t total) {
        if (!shown_) return;
        const auto now = std::chrono::steady_clock::now();
        if (done != total && now - last_ < std::chrono::milliseconds(200)) return;
        last_ = now;
        std::fprintf(stderr, "\r%s %3u%%", what, total ? static_cast<unsigned>(done * 100 / total) : 100u);
        if (done == total) std::fputs("\n", stderr);
        std::fflush(stderr);
    }

  private:
    bool shown_;
    std::chrono::steady_clock::time_point last_{};
};

void writeAll(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

replay::ReplayRequest requestOf(const replay::ReplayOptions& o, const host::Startup& startup, Progress& progress) {
    replay::ReplayRequest r;
    r.log = host::commandLineLog(o.logFile, startup.startFolder());
    r.choices = replay::contestChoicesOf(o);
    if (!o.dir.empty()) r.workFolder = startup.fromStart(o.dir);
    r.exportLog = o.exportLog;
    r.header = o.header;
    r.report = !o.report.empty();
    r.minBreak = o.minBreak;
    if (!o.compare.empty()) r.compare = host::commandLineLog(o.compare, startup.startFolder());
    r.generator = std::string("stats-replay ") + STATS_VERSION_TEXT;
    r.answers = !o.qsoCsv.empty();
    if (o.check) r.check = replay::CallCheckRequest{o.checkCall, o.checkBand, o.checkMode};
    r.note = startup.noteFunction();
    r.progress = [&progress](const char* what, std::uint64_t done, std::uint64_t total) {
        progress.show(what, done, total);
    };
    return r;
}

// The summary, the continent warning, this run's err.txt lines and the call check on stdout; the
// export's findings on stderr.
int printOutcome(const host::Startup& startup, const replay::ReplayOptions& o, const replay::ReplayOutcome& out) {
    host::useBinaryStdout();
    writeAll(out.summary);
    if (out.continentUnknown)
        writeAll("Warning: " + std::to_string(out.continentUnknown) +
                 " QSO(s) without a continent (none in the log, no country file): their South-American "
                 "prefixes are not counted. Give a country file with --cty FILE (see the README).\r\n");
    replay::copyErrorLines(out, writeAll);
    if (!out.exportFindings.empty()) {
        const std::string shown = (logs::utf8Path(o.dir) / out.exportedFile.filename()).string();
        for (const verify::CheckFinding& f : out.exportFindings)
            std::fprintf(stderr, "%s\n", verify::formatFinding(shown, f).c_str());
        std::fprintf(stderr, "%s\n", verify::findingTotals(out.exportFindings).c_str());
    }
    if (out.check) writeAll(out.check->text);
    if (!o.qsoCsv.empty() && o.qsoCsv == "-") writeAll(replay::qsoCsv(out.answers, out.cabrillo ? "line" : "record"));
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return startup.fail(std::string("cannot write the output: ") + std::strerror(errno));
    return host::kExitOk;
}

// The files asked for beside the output: the QSO table and the report page.
int writeFiles(const host::Startup& startup, const replay::ReplayOptions& o, const replay::ReplayOutcome& out) {
    std::string error;
    if (!o.qsoCsv.empty() && o.qsoCsv != "-") {
        const std::string csv = replay::qsoCsv(out.answers, out.cabrillo ? "line" : "record");
        if (!report::html::writeFileAtomically(startup.fromStart(o.qsoCsv).string(), csv, error))
            return startup.fail("QSO table not written: " + error);
        startup.note("QSO table written to " + o.qsoCsv);
    }
    if (o.report.empty()) return host::kExitOk;
    if (!report::html::writeFileAtomically(startup.fromStart(o.report).string(), out.reportPage, error))
        return startup.fail("report not written: " + error);
    startup.note("report written to " + o.report);
    return host::kExitOk;
}

int run(const replay::ReplayOptions& o, const char* argv0) {
    host::Startup startup;
    std::string error;
    if (!startup.open({"stats-replay", argv0, o.cty, o.dir, o.library}, error)) return startup.fail(error);
    if (o.verify) {
        verify::CheckRequest check{host::commandLineLog(o.logFile, startup.startFolder()), {o.start, o.end},
                                   o.call, o.country, o.dir.empty() ? fs::path() : startup.fromStart(o.dir)};
        return verify::checkAndPrint(startup, check);
    }
    Progress progress(host::stderrIsTerminal());
    const replay::ReplayOutcome out = replay::replayLog(startup, requestOf(o, startup, progress));
    if (!out.replayed) return startup.fail(out.failure);
    if (const int status = printOutcome(startup, o, out); status != host::kExitOk) return status;
    if (!out.failure.empty()) return startup.fail(out.failure);
    return writeFiles(startup, o, out);
}

}  // namespace

int main(int argc, char** argv) {
    return host::toolMain<replay::ReplayOptions>("stats-replay", argc, argv, replay::parseOptions, replay::usageText(), run);
}
