#pragma once
// Proof of content: which hash the server offers in its FEAT reply, the command that asks
// it for a file's hash, and what that command's reply holds.
#include <QCryptographicHash>

#include <string>
#include <vector>

class ServerHash {
public:
    // No hash: the size is the proof.
    ServerHash() = default;
    // From the reply lines that end with FEAT's; HASH with SHA-256 first, then XSHA256,
    // XSHA512, XSHA1, XMD5.
    static ServerHash FromFeatures(const std::vector<std::string>& replyLines);

    bool Offered() const { return choice_ >= 0; }
    // "OPTS HASH SHA-256" where HASH offers SHA-256 but has another selected, else "".
    std::string Selection() const;
    // The server would not select SHA-256 for HASH: the next choice, without HASH.
    void SelectionRefused();
    // The command that asks for the hash of `remote`, as sent.
    std::string Command(const std::string& remote) const;
    // The algorithm as the log names it ("SHA-256").
    const char* Name() const;
    QCryptographicHash::Algorithm Algorithm() const;
    // The hash a reply to Command gives, in lower-case hex; "" when it gives none of this
    // algorithm (a refusal, a garbled line, another algorithm's).
    std::string HashIn(const std::string& reply) const;

private:
    void Choose();

    unsigned offered_ = 0;  // a bit per entry of the choices, in order of preference
    bool hashSelected_ = false;  // HASH has SHA-256 selected already
    int choice_ = -1;
};
