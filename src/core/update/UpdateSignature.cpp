#include "core/update/UpdateSignature.h"
#include "core/update/UpdateRules.h"

#include <QList>

#include <algorithm>
#include <cstring>
#include <sodium.h>

namespace {

// minisign's layouts: a key is "Ed", its 8-byte number and the 32-byte public key; a
// signature "ED" (over the file's hash; "Ed" is the old form over the file itself), the
// key's number and the 64-byte signature.
constexpr int KeyNumberBytes = 8;
constexpr qsizetype KeyBytes = 2 + KeyNumberBytes + 32;
constexpr qsizetype SignatureBytes = 2 + KeyNumberBytes + 64;
constexpr int HashBytes = 64;

[[noreturn]] void Refuse(const QString& why)
{
    throw SignatureError(why.toStdString());
}

QByteArray Base64(const QByteArray& text, qsizetype size, const char* what)
{
    const auto result = QByteArray::fromBase64Encoding(text.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!result || result.decoded.size() != size)
        Refuse(QStringLiteral("%1 illeggibile").arg(QLatin1String(what)));
    return result.decoded;
}

const bool sodiumReady = sodium_init() >= 0;

}  // namespace

struct UpdateSignature::Hash {
    crypto_generichash_state state;
};

UpdateSignature::UpdateSignature() : hash_(new Hash) {}

UpdateSignature::UpdateSignature(const UpdateSignature& other)
    : key_(other.key_), signature_(other.signature_), version_(other.version_), hash_(new Hash(*other.hash_))
{
}

UpdateSignature& UpdateSignature::operator=(const UpdateSignature& other)
{
    key_ = other.key_;
    signature_ = other.signature_;
    version_ = other.version_;
    *hash_ = *other.hash_;
    return *this;
}

UpdateSignature::~UpdateSignature() = default;

UpdateSignature::UpdateSignature(const QByteArray& publicKey, const QByteArray& minisig, const QString& runningVersion)
    : UpdateSignature()
{
    if (!sodiumReady)
        Refuse(QStringLiteral("libsodium non si avvia"));
    // The key may be given with its file's comment line: its last line is the key.
    const QByteArray keyLine = publicKey.trimmed().split('\n').last();
    const QByteArray key = Base64(keyLine, KeyBytes, "chiave pubblica del programma");
    if (!key.startsWith("Ed"))
        Refuse(QStringLiteral("chiave pubblica del programma illeggibile"));

    const QList<QByteArray> lines = minisig.split('\n');
    const QByteArray trustedPrefix = "trusted comment: ";
    if (lines.size() < 4 || !lines[0].trimmed().startsWith("untrusted comment:") || !lines[2].startsWith(trustedPrefix))
        Refuse(QStringLiteral("file .minisig illeggibile"));
    const QByteArray signature = Base64(lines[1], SignatureBytes, "firma");
    const QByteArray globalSignature = Base64(lines[3], 64, "firma del commento");
    // Exactly as signed, blanks at its end included; only a Windows line end goes.
    QByteArray comment = lines[2].mid(trustedPrefix.size());
    if (comment.endsWith('\r'))
        comment.chop(1);

    if (signature.startsWith("Ed"))
        Refuse(QStringLiteral("firma nella forma senza hash (Ed), non ammessa"));
    if (!signature.startsWith("ED"))
        Refuse(QStringLiteral("algoritmo di firma sconosciuto"));
    if (signature.mid(2, KeyNumberBytes) != key.mid(2, KeyNumberBytes))
        Refuse(QStringLiteral("firmato con un'altra chiave"));
    std::memcpy(key_.data(), key.constData() + 2 + KeyNumberBytes, key_.size());
    std::memcpy(signature_.data(), signature.constData() + 2 + KeyNumberBytes, signature_.size());

    // The trusted comment is signed together with the file's signature.
    const QByteArray signedComment = signature.mid(2 + KeyNumberBytes) + comment;
    if (crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(globalSignature.constData()),
                                    reinterpret_cast<const unsigned char*>(signedComment.constData()),
                                    quint64(signedComment.size()), key_.data())
        != 0)
        Refuse(QStringLiteral("commento firmato non valido"));
    // "Morvantil 1.4", maybe with more after a blank: numbers with single dots between them.
    // (Read by hand: this runs on the download's thread, where no regular expression need be
    // compiled.)
    const QByteArray prefix = "Morvantil ";
    const QByteArray named = comment.mid(prefix.size()).split(' ').first().split('\t').first();
    const bool version = comment.startsWith(prefix) && !named.isEmpty() && !named.startsWith('.')
                         && !named.endsWith('.') && !named.contains("..")
                         && std::all_of(named.begin(), named.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
    if (!version)
        Refuse(QStringLiteral("il commento firmato non nomina una versione di Morvantil (\"%1\")")
                   .arg(QString::fromUtf8(comment.left(100))));
    version_ = QString::fromLatin1(named);
    if (!IsNewerVersion(version_, runningVersion))
        Refuse(QStringLiteral("versione %1 non più nuova della %2").arg(version_, runningVersion));
    Restart();
}

void UpdateSignature::Restart()
{
    crypto_generichash_init(&hash_->state, nullptr, 0, HashBytes);
}

void UpdateSignature::Add(const char* data, qint64 size)
{
    crypto_generichash_update(&hash_->state, reinterpret_cast<const unsigned char*>(data), quint64(size));
}

void UpdateSignature::Check()
{
    unsigned char hash[HashBytes];
    crypto_generichash_final(&hash_->state, hash, HashBytes);
    Restart();
    if (crypto_sign_verify_detached(signature_.data(), hash, HashBytes, key_.data()) != 0)
        Refuse(QStringLiteral("la firma non corrisponde al file scaricato"));
}
