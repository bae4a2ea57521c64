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

QString NotPem(const QByteArray& content, const QString& what) {
    if (content.trimmed().isEmpty()) return QStringLiteral("is empty");
    if (IsDerCertificate(content))
        return QStringLiteral("is in DER form, not PEM; openssl x509 -inform DER converts it");
    return "holds no PEM " + what;
}

// Every certificate and revocation list must read, and one at least be there, as for the
// library's own loading of a CA file.
QString CaFault(const QByteArray& content) {
    const Owned<BIO> bio = Memory(content);
    const Owned<STACK_OF(X509_INFO)> infos(
        PEM_X509_INFO_read_bio(bio.get(), nullptr, nullptr, nullptr));
    if (!infos) {
        if (IsDerCertificate(content)) return NotPem(content, {});
        return QStringLiteral("a PEM block in it cannot be read");
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

std::optional<QString> Refuse(const char* what, const QString& path, const QString& why) {
    return QStringLiteral("%1 %2: %3").arg(QLatin1String(what), path, why);
}

std::optional<QString> Check(const TlsFiles& files) {
    QString why;
    if (!files.ca.isEmpty()) {
        const auto ca = ReadOptionFile(files.ca, kMaxCaSize, false, &why);
        if (!ca) return Refuse("CA file", files.ca, why);
        if (const QString fault = CaFault(*ca); !fault.isEmpty())
            return Refuse("CA file", files.ca, fault);
    }
    if (files.cert.isEmpty()) return std::nullopt;
    const auto certText = ReadOptionFile(files.cert, kMaxCertificateSize, false, &why);
    if (!certText) return Refuse("client certificate", files.cert, why);
    const Owned<X509> certificate = Certificate(*certText);
    if (!certificate)
        return Refuse("client certificate", files.cert,
                      NotPem(*certText, QStringLiteral("certificate")));

    const auto keyText = ReadOptionFile(files.key, kMaxKeySize, true, &why);
    if (!keyText) return Refuse("client key", files.key, why);
    bool asked = false;
    const Owned<BIO> bio = Memory(*keyText);
    const Owned<EVP_PKEY> key(PEM_read_bio_PrivateKey(bio.get(), nullptr, NoPassPhrase, &asked));
    if (asked)
        return Refuse("client key", files.key,
                      QStringLiteral("is protected by a pass phrase, which nobody can type in "
                                     "here; store it without one, mode 0600"));
    if (!key)
        return Refuse("client key", files.key, NotPem(*keyText, QStringLiteral("private key")));
    if (X509_check_private_key(certificate.get(), key.get()) != 1)
        return Refuse("client key", files.key,
                      "does not belong to the client certificate " + files.cert);
    return std::nullopt;
}

}  // namespace

std::optional<QString> CheckTlsFiles(const TlsFiles& files) {
    auto fault = Check(files);
    // The client library shares this thread's error queue: leave it nothing of ours to misreport.
    ERR_clear_error();
    return fault;
}

}  // namespace vp::publish
