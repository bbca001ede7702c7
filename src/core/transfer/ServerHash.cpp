#include "core/transfer/ServerHash.h"

#include <QByteArray>

#include <algorithm>
#include <cctype>
#include <sstream>

namespace {

struct Choice {
    const char* command;
    const char* name;
    QCryptographicHash::Algorithm algorithm;
    std::size_t hexLength;
};

// In order of preference; HASH is asked for SHA-256 alone.
const Choice choices[] = {
    {"HASH", "SHA-256", QCryptographicHash::Sha256, 64},
    {"XSHA256", "SHA-256", QCryptographicHash::Sha256, 64},
    {"XSHA512", "SHA-512", QCryptographicHash::Sha512, 128},
    {"XSHA1", "SHA-1", QCryptographicHash::Sha1, 40},
    {"XMD5", "MD5", QCryptographicHash::Md5, 32},
};
constexpr int hashCommand = 0;

std::string Upper(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return text;
}

std::string Trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsHex(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); });
}

}  // namespace

ServerHash ServerHash::FromFeatures(const std::vector<std::string>& replyLines)
{
    ServerHash hash;
    // The features stand between FEAT's "211-" and "211 " lines; anything the server said
    // before (its greeting, the login) does not count.
    auto line = std::find_if(replyLines.rbegin(), replyLines.rend(),
                             [](const std::string& l) { return l.rfind("211-", 0) == 0; });
    if (line == replyLines.rend())
        return hash;
    for (auto feature = line.base(); feature != replyLines.end() && feature->rfind("211 ", 0) != 0; ++feature) {
        const std::string text = Trimmed(*feature);
        const std::string name = Upper(text.substr(0, text.find(' ')));
        const std::string rest = name.size() < text.size() ? Trimmed(text.substr(name.size())) : std::string();
        if (name == choices[hashCommand].command) {
            // "HASH SHA-1*;SHA-256;MD5": the starred one is selected.
            std::istringstream algorithms(rest);
            for (std::string algorithm; std::getline(algorithms, algorithm, ';');) {
                algorithm = Trimmed(algorithm);
                const bool selected = !algorithm.empty() && algorithm.back() == '*';
                if (Upper(selected ? algorithm.substr(0, algorithm.size() - 1) : algorithm) == "SHA-256") {
                    hash.offered_ |= 1u << hashCommand;
                    hash.hashSelected_ = selected;
                }
            }
            continue;
        }
        for (int i = hashCommand + 1; i < int(std::size(choices)); ++i)
            if (rest.empty() && name == choices[i].command)
                hash.offered_ |= 1u << i;
    }
    hash.Choose();
    return hash;
}

void ServerHash::Choose()
{
    choice_ = -1;
    for (int i = 0; i < int(std::size(choices)) && choice_ < 0; ++i)
        if (offered_ & (1u << i))
            choice_ = i;
}

std::string ServerHash::Selection() const
{
    return choice_ == hashCommand && !hashSelected_ ? std::string("OPTS HASH ") + choices[hashCommand].name
                                                    : std::string();
}

void ServerHash::SelectionRefused()
{
    offered_ &= ~(1u << hashCommand);
    Choose();
}

std::string ServerHash::Command(const std::string& remote) const
{
    return Offered() ? std::string(choices[choice_].command) + ' ' + remote : std::string();
}

const char* ServerHash::Name() const
{
    return Offered() ? choices[choice_].name : "";
}

QCryptographicHash::Algorithm ServerHash::Algorithm() const
{
    return choices[std::max(choice_, 0)].algorithm;
}

std::string ServerHash::HashIn(const std::string& reply) const
{
    if (!Offered() || reply.size() < 4 || reply[0] != '2' || reply[3] != ' ')
        return {};
    // HASH: "213 SHA-256 0-1234 <hex> <name>"; the X commands: "250 <hex>", or "213 <hex>".
    std::istringstream words(reply.substr(4));
    std::string word;
    if (choice_ == hashCommand && (!(words >> word) || Upper(word) != choices[hashCommand].name))
        return {};
    while (words >> word)
        if (word.size() == choices[choice_].hexLength && IsHex(word))
            return QByteArray::fromStdString(word).toLower().toStdString();
    return {};
}
