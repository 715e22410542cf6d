#include "tools/robot/uploads_service.h"

#include <httplib.h>

#include <map>

#include "tools/robot/answers.h"
#include "tools/robot/job_protocol.h"
#include "tools/robot/text.h"

namespace robot {

namespace {

// An upload's body as it arrived: the log (a form's "log" file, else its "text" box, else the whole
// body) and what is wrong with it.
struct UploadBody {
    std::string bytes;
    bool whole = false;     // it arrived to its end
    bool tooLarge = false;  // past the limit
    bool repeated = false;  // a form's field sent twice: two files are not one log
    bool namesLog = true;   // not a form, or a form with a "log" or "text" field
};

// Reads the body here rather than by the library, whatever the answer, so that the connection stays
// usable. The library checks a stated Content-Length only: a chunked body, or one read to the end
// of the connection, is counted here, and what passes the limit is read and dropped (as the library
// skips an overlong stated length) so that the client hears the answer.
UploadBody readUpload(const httplib::Request& req, const httplib::ContentReader& reader, std::size_t limit) {
    UploadBody body;
    std::size_t size = 0;
    const auto within = [&](std::size_t more) { return (size += more) <= limit; };
    if (req.is_multipart_form_data()) {
        std::map<std::string, std::string> fields;
        std::string* field = nullptr;
        body.whole = reader(
            [&](const httplib::MultipartFormData& part) {
                body.repeated = body.repeated || fields.count(part.name);
                field = &fields[part.name];
                return true;
            },
            [&](const char* data, std::size_t n) {
                if (within(n) && field) field->append(data, n);
                return true;
            });
        const auto file = fields.find("log"), text = fields.find("text");
        if (file != fields.end()) body.bytes = file->second;
        if (body.bytes.empty() && text != fields.end()) body.bytes = text->second;
        body.namesLog = file != fields.end() || text != fields.end();
    } else {
        body.whole = reader([&](const char* data, std::size_t n) {
            if (within(n)) body.bytes.append(data, n);
            return true;
        });
    }
    body.tooLarge = size > limit;
    return body;
}

// The first of the body's faults that keeps it from being stored, answered; false when it has none.
bool refusedBody(Exchange& x, const UploadBody& body) {
    if (x.res.status == 413 || body.tooLarge) {
        tooLarge(x.req, x.res);
        return true;
    }
    // A body that did not arrive whole is no log: nothing is stored, and the connection, whose
    // unread rest cannot be told from a next request, is closed.
    if (!body.whole) {
        x.res.set_header("Connection", "close");
        answer(x.req, x.res, 400, "Not received", "the upload did not arrive whole: please send it again");
        return true;
    }
    return false;
}

}  // namespace

UploadsService::UploadsService(const RobotConfig& config, Store& store)
    : config_(config), store_(store), pool_(config.jobs, config.jobTimeLimit), limiter_(config.uploadsPerMinute) {}

void UploadsService::receive(Exchange& x, bool page) {
    const UploadBody body = readUpload(x.req, *x.reader, config_.maxUploadBytes);
    if (refusedBody(x, body)) return;
    const auto now = std::chrono::system_clock::now();
    const bool late = config_.deadline && now > *config_.deadline;
    if (!admitted(x, late)) return;
    if (body.repeated)
        return answer(x.req, x.res, 400, "One log per upload", "the form gives a field twice: send each log on its own");
    if (!body.namesLog)
        return answer(x.req, x.res, 400, "No log", "the form has no field \"log\" (a file) or \"text\" (the log pasted)");

    const std::string& bytes = body.bytes;
    const std::string received = utcText(now);
    const std::string confirmation = confirmationCode();
    const std::string reportKey = randomHex(16);  // 128 random bits
    std::string error;
    const auto id = store_.addUpload(bytes, sha256Hex(bytes), received, x.req.remote_addr, confirmation, reportKey,
                                     late, error);
    if (!id)
        return answer(x.req, x.res, 503, "Not stored",
                      "the log could not be stored: " + error + "; please send it again");
    const Receipt receipt = scoreStored(*id, bytes, confirmation, reportKey, received, late);
    x.res.status = receipt.accepted() ? 201 : receipt.state == "refused" ? 422 : 500;
    if (page)
        x.res.set_content(receiptPage(receipt), kHtml);
    else
        x.res.set_content(receiptJson(receipt), kJson);
}

bool UploadsService::admitted(Exchange& x, bool late) {
    if (late && config_.closed) {
        answer(x.req, x.res, 403, "Uploads closed",
               "the robot takes no more logs: the deadline was " + utcText(*config_.deadline).substr(0, 16) + " UTC");
        return false;
    }
    if (const long wait = limiter_.admit(x.req.remote_addr); wait > 0) {
        x.res.set_header("Retry-After", std::to_string(wait));
        answer(x.req, x.res, 429, "Too many uploads",
               "more than " + std::to_string(limiter_.perMinute()) +
                   " uploads in a minute from your address: try again in " + std::to_string(wait) + " s");
        return false;
    }
    return true;
}

Receipt UploadsService::scoreStored(std::int64_t id, const std::string& bytes, const std::string& confirmation,
                                    const std::string& reportKey, const std::string& received, bool late) {
    UploadOutcome outcome =
        scoreInWorker(pool_, config_.workerProgram, jobFolder(config_.data, id), config_.score, bytes);
    std::string storeError;
    if (!store_.finishUpload(id, outcome, storeError)) {
        outcome.state = "failed";
        outcome.findings.push_back({0, true, "the outcome could not be stored: " + storeError});
    }
    Receipt r;
    r.state = outcome.state;
    r.confirmation = confirmation;
    r.call = outcome.call;
    r.qsos = outcome.qsos;
    r.score = outcome.score;
    r.claimed = outcome.claimed;
    r.late = late;
    r.findings = outcome.findings;
    r.received = received;
    if (!outcome.report.empty()) r.reportPath = "/report/" + reportKey;
    return r;
}

}  // namespace robot
