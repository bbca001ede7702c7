#pragma once
#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>

// A signature that does not hold, or that cannot be read; what() says why, for the log.
class SignatureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An update's signature in minisign's format (the file's ".minisig"), made with the region's
// key: Ed25519 over the BLAKE2b-512 hash of the file (the "ED" form only), and Ed25519 over
// the signature and its trusted comment, which must name a version newer than this one
// ("Morvantil 1.4"), so that an older signed installer cannot be served again.
class UpdateSignature {
public:
    UpdateSignature();
    UpdateSignature(const UpdateSignature& other);
    UpdateSignature& operator=(const UpdateSignature& other);
    ~UpdateSignature();
    // publicKey: minisign's public key line. Raises SignatureError for a signature that cannot
    // be read, is in the unhashed form, comes from another key, or whose trusted comment
    // does not hold or names no newer version than runningVersion.
    UpdateSignature(const QByteArray& publicKey, const QByteArray& minisig, const QString& runningVersion);

    // The version the trusted comment names.
    QString Version() const { return version_; }

    // The file's bytes, in order, as they arrive or are read back; Check raises
    // SignatureError unless the bytes since the last Restart are the signed file.
    void Restart();
    void Add(const char* data, qint64 size);
    void Check();

private:
    std::array<std::uint8_t, 32> key_{};
    std::array<std::uint8_t, 64> signature_{};
    QString version_;
    // On the heap: the hash's state wants an alignment that Windows' stack does not promise.
    struct Hash;
    std::unique_ptr<Hash> hash_;
};
