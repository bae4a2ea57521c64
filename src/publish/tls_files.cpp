// SPDX-License-Identifier: MIT
#include "publish/tls_files.h"

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>

#include "publish/option_file.h"

namespace vp::publish {
namespace {

// A site's whole bundle of authorities is a few hundred KB; a certificate chain or a key far less.
constexpr qint64 kMaxCaSize = 4 << 20;
constexpr qint64 kMaxCertificateSize = 1 << 20;
constexpr qint64 kMaxKeySize = 64 << 10;

struct Free {
    void operator()(BIO* p) const { BIO_free(p); }
    void operator()(X509* p) const { X509_free(p); }
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(STACK_OF(X509_INFO) * p) const { sk_X509_INFO_pop_free(p, X509_INFO_free); }
};
template <typename T>
using Owned = std::unique_ptr<T, Free>;

Owned<BIO> Memory(const QByteArray& content) {
    return Owned<BIO>(BIO_new_mem_buf(content.constData(), int(content.size())));
}

// The library's loaders read PEM only; a certificate in DER is the commonest mix-up.
bool IsDerCertificate(const QByteArray& content) {
    const auto* p = reinterpret_cast<const unsigned char*>(content.constData());
    return Owned<X509>(d2i_X509(nullptr, &p, long(content.size()))) != nullptr;
}

Failure NotPem(const QByteArray& content, const QString& what) {
    if (content.trimmed().isEmpty()) return Fail(QStringLiteral("is empty"));
    if (IsDerCertificate(content))
        return Fail(
            QStringLiteral("is in DER form, not PEM; openssl x509 -inform DER converts it"));
    return Fail("holds no PEM " + what);
}

// Every certificate and revocation list must read, and one at least be there, as for the
// library's own loading of a CA file.
Result<> CaReads(const QByteArray& content) {
    const Owned<BIO> bio = Memory(content);
    const Owned<STACK_OF(X509_INFO)> infos(
        PEM_X509_INFO_read_bio(bio.get(), nullptr, nullptr, nullptr));
    if (!infos) {
        if (IsDerCertificate(content)) return NotPem(content, {});
        return Fail(QStringLiteral("a PEM block in it cannot be read"));
    }
    for (int i = 0; i < sk_X509_INFO_num(infos.get()); ++i) {
        const X509_INFO* info = sk_X509_INFO_value(infos.get(), i);
        if (info->x509 || info->crl) return {};
    }
    return NotPem(content, QStringLiteral("certificate"));
}

Owned<X509> Certificate(const QByteArray& content) {
    const Owned<BIO> bio = Memory(content);
    return Owned<X509>(PEM_read_bio_X509_AUX(bio.get(), nullptr, nullptr, nullptr));
}

// Nobody is there to type a pass phrase into a gateway; the callback notes that one was wanted.
int NoPassPhrase(char*, int, int, void* asked) {
    *static_cast<bool*>(asked) = true;
    return -1;
}

Failure Refuse(const char* what, const QString& path, const QString& why) {
    return Fail(QStringLiteral("%1 %2: %3").arg(QLatin1String(what), path, why));
}

Result<> ReadCa(const QString& path) {
    const Result<QByteArray> ca = ReadOptionFile(path, kMaxCaSize, false);
    if (!ca.ok()) return Refuse("CA file", path, ca.error());
    if (const Result<> reads = CaReads(*ca); !reads.ok())
        return Refuse("CA file", path, reads.error());
    return {};
}

Result<Owned<X509>> ReadCertificate(const QString& path) {
    const Result<QByteArray> text = ReadOptionFile(path, kMaxCertificateSize, false);
    if (!text.ok()) return Refuse("client certificate", path, text.error());
    Owned<X509> certificate = Certificate(*text);
    if (!certificate)
        return Refuse("client certificate", path, NotPem(*text, QStringLiteral("certificate")).why);
    return certificate;
}

Result<Owned<EVP_PKEY>> ReadKey(const QString& path) {
    const Result<QByteArray> text = ReadOptionFile(path, kMaxKeySize, true);
    if (!text.ok()) return Refuse("client key", path, text.error());
    bool asked = false;
    const Owned<BIO> bio = Memory(*text);
    Owned<EVP_PKEY> key(PEM_read_bio_PrivateKey(bio.get(), nullptr, NoPassPhrase, &asked));
    if (asked)
        return Refuse("client key", path,
                      QStringLiteral("is protected by a pass phrase, which nobody can type in "
                                     "here; store it without one, mode 0600"));
    if (!key) return Refuse("client key", path, NotPem(*text, QStringLiteral("private key")).why);
    return key;
}

Result<> CheckOne(TlsFile which, const QString& path) {
    switch (which) {
        case TlsFile::Ca:
            return ReadCa(path);
        case TlsFile::Certificate:
            if (auto certificate = ReadCertificate(path); !certificate.ok())
                return Fail(certificate.error());
            return {};
        case TlsFile::Key:
            if (auto key = ReadKey(path); !key.ok()) return Fail(key.error());
            return {};
    }
    return {};
}

Result<> Check(const TlsFiles& files) {
    if (!files.ca.isEmpty()) {
        if (Result<> ca = ReadCa(files.ca); !ca.ok()) return ca;
    }
    if (files.cert.isEmpty()) return {};
    const Result<Owned<X509>> certificate = ReadCertificate(files.cert);
    if (!certificate.ok()) return Fail(certificate.error());
    const Result<Owned<EVP_PKEY>> key = ReadKey(files.key);
    if (!key.ok()) return Fail(key.error());
    if (X509_check_private_key(certificate->get(), key->get()) != 1)
        return Refuse("client key", files.key,
                      "does not belong to the client certificate " + files.cert);
    return {};
}

// The client library shares this thread's error queue: leave it nothing of ours to misreport.
Result<> ClearingErrors(Result<> checked) {
    ERR_clear_error();
    return checked;
}

}  // namespace

Result<> CheckTlsFile(TlsFile which, const QString& path) {
    return ClearingErrors(CheckOne(which, path));
}

Result<> CheckTlsFiles(const TlsFiles& files) {
    return ClearingErrors(Check(files));
}

Result<> CheckTlsPairing(const TlsFiles& files, bool tlsBroker) {
    if (files.cert.isEmpty() != files.key.isEmpty())
        return Fail(QStringLiteral("--mqtt-cert and --mqtt-key go together"));
    if (!tlsBroker && !(files.ca.isEmpty() && files.cert.isEmpty()))
        return Fail(QStringLiteral("--mqtt-ca, --mqtt-cert and --mqtt-key want an mqtts:// URL"));
    return {};
}

Result<> CheckTlsOptions(const TlsFiles& files, bool tlsBroker) {
    if (Result<> pairing = CheckTlsPairing(files, tlsBroker); !pairing.ok()) return pairing;
    return CheckTlsFiles(files);
}

}  // namespace vp::publish
