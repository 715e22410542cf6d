#include "tools/robot/uploads_service.h"

#include <httplib.h>

#include <map>

#include "tools/robot/answers.h"
#include "tools/robot/job_protocol.h"
#include "tools/robot/private_files.h"
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
    if (!req.is_multipart_form_data()) {
        body.whole = reader([&](const char* data, std::size_t n) {
            if (body.bytes.size() + n <= limit)
                body.bytes.append(data, n);
            else
                body.tooLarge = true;
            return true;
        });
        return body;
    }
    // A form's log may be as large as a log sent alone; the framing around it (part names and heads,
    // any other field) has its own allowance, and only the two fields of a log are kept: thousands
    // of parts with long names hold nothing here.
    std::map<std::string, std::string> fields;
    std::string* field = nullptr;
    std::size_t framing = 0;
    body.whole = reader(
        [&](const httplib::MultipartFormData& part) {
            const bool known = part.name == "log" || part.name == "text";
            framing += part.name.size() + part.filename.size() + part.content_type.size();
            body.repeated = body.repeated || (known && fields.count(part.name));
            field = known ? &fields[part.name] : nullptr;
            return true;
        },
        [&](const char* data, std::size_t n) {
            if (!field)
                framing += n;
            else if (field->size() + n <= limit)
                field->append(data, n);
            else
                body.tooLarge = true;
            return true;
        });
    const auto file = fields.find("log"), text = fields.find("text");
    if (file != fields.end()) body.bytes = file->second;
    if (body.bytes.empty() && text != fields.end()) body.bytes = text->second;
    body.namesLog = file != fields.end() || text != fields.end();
    body.tooLarge = body.tooLarge || framing > kFormFramingRoom;
    return body;
}

// The first of the body's faults that keeps it from being stored, answered; false when it has none.
bool refusedBody(Exchange& x, const UploadBody& body, std::size_t limit) {
    if (x.res.status == 413 || body.tooLarge) {
        tooLarge(x.req, x.res, limit);
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

// The receipt of an upload that is scored.
Receipt receiptOf(const UploadRecord& upload) {
    Receipt r;
    r.id = upload.id;
    r.state = std::string(stateName(upload.state));
    r.confirmation = upload.confirmation;
    r.call = upload.call;
    r.qsos = upload.qsos;
    r.score = upload.score;
    r.claimed = upload.claimed;
    r.late = upload.late;
    r.findings = upload.findings;
    r.received = upload.received;
    if (upload.hasReport) r.reportPath = "/report/" + upload.reportKey;
    return r;
}

// The answer with a receipt.
void answerReceipt(Exchange& x, const Receipt& receipt, bool page, int status) {
    x.res.status = status;
    if (page)
        x.res.set_content(receiptPage(receipt), kHtml);
    else
        x.res.set_content(receiptJson(receipt), kJson);
}

// The answer while the upload is being checked: 202 and where its receipt will be; the page looks
// again every two seconds (a Refresh header: the pages run no script).
void answerPending(Exchange& x, const UploadRecord& upload, bool page) {
    const std::string address = (page ? "/receipt/" : "/api/receipt/") + upload.reportKey;
    x.res.status = 202;
    x.res.set_header("Location", address);
    if (page) {
        x.res.set_header("Refresh", "2; url=" + address);
        x.res.set_content(
            messagePage("Log received: being checked",
                        "Your confirmation code: " + upload.confirmation +
                            ". The robot is checking and scoring your log; this page shows your "
                            "receipt as soon as it is done."),
            kHtml);
        return;
    }
    x.res.set_content("{\"accepted\":false,\"state\":\"received\",\"id\":" + std::to_string(upload.id) +
                          ",\"confirmation\":" + jsonString(upload.confirmation) + ",\"late\":" +
                          (upload.late ? "true" : "false") + ",\"received\":" + jsonString(upload.received) +
                          ",\"receipt\":" + jsonString(address) + "}\n",
                      kJson);
}

// The client asks not to wait for the outcome (RFC 7240).
bool prefersAsync(const httplib::Request& req) {
    return upper(req.get_header_value("Prefer")).find("RESPOND-ASYNC") != std::string::npos;
}

}  // namespace

UploadsService::UploadsService(const RobotConfig& config, Store& store)
    : config_(config),
      store_(store),
      pool_(config.jobs, config.jobTimeLimit),
      limiter_(config.uploadsPerMinute),
      queue_(config.jobs, serverThreads(config) / 4, [this](std::int64_t id) { return scoreQueued(id); }) {}

void UploadsService::resume() {
    for (const std::int64_t id : store_.uploads().unscored()) queue_.submit(id, std::chrono::milliseconds(0));
}

void UploadsService::stop() {
    queue_.stop();
}

void UploadsService::receive(Exchange& x, bool page) {
    const UploadBody body = readUpload(x.req, *x.reader, config_.maxUploadBytes);
    if (refusedBody(x, body, config_.maxUploadBytes)) return;
    const auto now = std::chrono::system_clock::now();
    const bool late = config_.deadline && now > *config_.deadline;
    if (!admitted(x, late)) return;
    if (body.repeated)
        return answer(x.req, x.res, 400, "One log per upload",
                      "the form gives a field twice: send each log on its own");
    if (!body.namesLog)
        return answer(x.req, x.res, 400, "No log",
                      "the form has no field \"log\" (a file) or \"text\" (the log pasted)");

    UploadRecord upload;
    upload.received = utcText(now);
    upload.confirmation = confirmationCode();
    upload.reportKey = randomHex(16);  // 128 random bits
    upload.late = late;
    std::string error;
    const auto id = store_.uploads().add(body.bytes, sha256Hex(body.bytes), upload.received, x.client,
                                     upload.confirmation, upload.reportKey, late, error);
    if (id) upload.id = *id;
    if (!id)
        return answer(x.req, x.res, 503, "Not stored",
                      "the log could not be stored: " + withoutServerPaths(error, config_.data) +
                          "; please send it again");
    const auto wait = prefersAsync(x.req) ? std::chrono::milliseconds(0) : config_.answerWait;
    const std::optional<UploadOutcome> outcome = queue_.submit(*id, wait);
    if (!outcome) return answerPending(x, upload, page);
    upload.state = uploadStateNamed(outcome->state);
    upload.call = outcome->call;
    upload.qsos = outcome->qsos;
    upload.score = outcome->score;
    upload.claimed = outcome->claimed;
    upload.findings = outcome->findings;
    upload.hasReport = !outcome->report.empty();
    // 201 accepted, 422 refused, 500 not scored.
    const int status = upload.state == UploadState::kAccepted  ? 201
                       : upload.state == UploadState::kRefused ? 422
                                                               : 500;
    answerReceipt(x, receiptOf(upload), page, status);
}

void UploadsService::receipt(Exchange& x, bool page) {
    const auto upload = store_.uploads().byReportKey(x.req.matches[1]);
    if (!upload) return notFound(x.req, x.res);
    if (upload->state == UploadState::kReceived) return answerPending(x, *upload, page);
    Receipt receipt = receiptOf(*upload);
    if (results_) receipt.published = results_(*upload);
    answerReceipt(x, receipt, page, 200);
}

bool UploadsService::admitted(Exchange& x, bool late) {
    if (late && config_.closed) {
        answer(x.req, x.res, 403, "Uploads closed",
               "the robot takes no more logs: the deadline was " + utcText(*config_.deadline).substr(0, 16) +
                   " UTC");
        return false;
    }
    if (const long wait = limiter_.admit(x.client); wait > 0) {
        x.res.set_header("Retry-After", std::to_string(wait));
        answer(x.req, x.res, 429, "Too many uploads",
               "more than " + std::to_string(limiter_.perMinute()) +
                   " uploads in a minute from your address: try again in " + std::to_string(wait) + " s");
        return false;
    }
    return true;
}

UploadOutcome UploadsService::scoreQueued(std::int64_t id) {
    UploadOutcome outcome = scoreInWorker(pool_, config_.workerProgram, jobFolder(config_.data, id), config_.score,
                                          store_.uploads().bytes(id));
    // Why the scoring failed is shown to the contester and the committee: no path on the server in it.
    if (outcome.state == "failed")
        for (Finding& f : outcome.findings) f.text = withoutServerPaths(f.text, config_.data);
    std::string storeError;
    if (!store_.uploads().finish(id, outcome, storeError)) {
        outcome.state = "failed";
        outcome.findings.push_back(
            {0, true, "the outcome could not be stored: " + withoutServerPaths(storeError, config_.data)});
    }
    return outcome;
}

}  // namespace robot
