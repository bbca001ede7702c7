// The session's proof of content: the server's own hash of each file where it offers one,
// its size otherwise; and the move of a file sent under a temporary name onto its final one.
#include "core/transfer/CurlCause.h"
#include "core/transfer/FtpSession.h"

#include <algorithm>
#include <cctype>

namespace {

bool Starts(const std::string& reply, const char* code)
{
    return reply.rfind(code, 0) == 0;
}

// A reply's last line: its code and a blank.
bool IsFinal(const std::string& line)
{
    return line.size() >= 4 && line[3] == ' ' && std::isdigit(static_cast<unsigned char>(line[0]));
}

std::string FirstRefusal(const std::vector<std::string>& replies)
{
    for (const std::string& line : replies)
        if (IsFinal(line) && (line[0] == '4' || line[0] == '5'))
            return line;
    return replies.empty() ? std::string() : replies.back();
}

}  // namespace

// Once per run, after the login: which hash the server offers, with SHA-256 selected for
// HASH where another one is.
void FtpSession::LearnServerHash(const FtpJob& job)
{
    serverHash_ = {};
    if (!job.verify)
        return;
    Check(Quote({"*FEAT"}));
    serverHash_ = ServerHash::FromFeatures(replies_);
    if (const std::string selection = serverHash_.Selection(); !selection.empty()) {
        Check(Quote({"*" + selection}));
        if (!Starts(lastReply_, "200"))
            serverHash_.SelectionRefused();
    }
}

// The upload's hash, where the server can give its own to compare with.
ContentHash* FtpSession::StartContentHash(const FtpJob& job)
{
    contentHash_.reset();
    if (job.verify && serverHash_.Offered())
        contentHash_.emplace(serverHash_.Algorithm());
    return contentHash_ ? &*contentHash_ : nullptr;
}

// What the server is asked once it holds the file; '*': a refusal must not fail the
// upload, its reply is read afterwards.
std::string FtpSession::CheckCommand(const FtpJob& job) const
{
    std::string command = "*";
    command += contentHash_ ? serverHash_.Command(job.remote) : "SIZE " + job.remote;
    return command;
}

// Returns the failure, "" when the server holds what was sent.
std::string FtpSession::ProveContent(const FtpJob& job, InetArrival& arrival, bool& fileThere)
{
    if (!contentHash_)
        return Verify(job, arrival, fileThere);
    curl_off_t sent = 0;
    curl_easy_getinfo(curl_, CURLINFO_SIZE_UPLOAD_T, &sent);
    arrival.sent = sent;
    const std::string reply = lastReply_;
    if (const std::string stored = serverHash_.HashIn(reply); !stored.empty()) {
        if (stored != contentHash_->Result().toStdString())
            return "il contenuto del file " + job.remote + " sul server è diverso da quello inviato ("
                   + serverHash_.Name() + ")";
        arrival.stored = sent;
        arrival.proof = serverHash_.Name();
        return {};
    }
    // No hash of this file (an empty one, one past the server's limit, a garbled reply):
    // its size is the proof. A server that does not know the command it announced is asked
    // for sizes alone from now on.
    if (Starts(reply, "500") || Starts(reply, "502"))
        serverHash_ = {};
    if (const CURLcode result = Quote({"*SIZE " + job.remote}); result != CURLE_OK)
        return CurlCause(result, lastReply_, timeoutSeconds_);
    return Verify(job, arrival, fileThere);
}

// The verified file takes its final name. Where the server will not rename onto an
// existing file, the old one is removed first. Returns the failure, "" when renamed.
std::string FtpSession::MoveOntoFinalName(const FtpJob& job)
{
    const std::vector<std::string> rename{"*RNFR " + job.remote, "*RNTO " + job.finalRemote};
    CURLcode result = Quote(rename);
    const auto renamed = [this] { return Starts(lastReply_, "2"); };
    const auto fromAccepted = [this] {
        return std::any_of(replies_.begin(), replies_.end(), [](const std::string& l) { return Starts(l, "350"); });
    };
    if (result == CURLE_OK && !renamed() && fromAccepted())
        result = Quote({"*DELE " + job.finalRemote, rename[0], rename[1]});
    if (result != CURLE_OK)
        return CurlCause(result, lastReply_, timeoutSeconds_);
    if (!renamed())
        return "il server non ha rinominato " + job.remote + " in " + job.finalRemote + " ("
               + FirstRefusal(replies_) + ")";
    return {};
}

// Sends the commands over this run's connection, and only over it: a new one would be
// another login the server never expected.
CURLcode FtpSession::Quote(const std::vector<std::string>& commands)
{
    curl_slist* list = nullptr;
    for (const std::string& command : commands) {
        curl_slist* grown = curl_slist_append(list, command.c_str());
        if (!grown) {
            curl_slist_free_all(list);
            return CURLE_OUT_OF_MEMORY;
        }
        list = grown;
    }
    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> owned(list, curl_slist_free_all);
    curl_easy_setopt(curl_, CURLOPT_URL, connection_.url.c_str());
    curl_easy_setopt(curl_, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl_, CURLOPT_QUOTE, list);
    lastReply_.clear();
    replies_.clear();
    {
        std::lock_guard lock(socketMutex_);
        noNewConnection_ = true;
    }
    const CURLcode result = Transfer();
    {
        std::lock_guard lock(socketMutex_);
        noNewConnection_ = false;
    }
    curl_easy_setopt(curl_, CURLOPT_QUOTE, nullptr);
    curl_easy_setopt(curl_, CURLOPT_NOBODY, 0L);
    if (IsCancelled())
        throw FtpCancelled();
    // A reply that did not come in time may still come, as the answer to the next command.
    if (!RepliesInStep(result))
        quoteOutOfStep_ = true;
    return result;
}
