// Reading the record's SHA-256 back from a certificate's bytes.
#include "record/certificate_metadata.h"

#include <gtest/gtest.h>

namespace zd {
namespace {

const std::string kOld(64, 'a');
const std::string kNew = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

TEST(CertificateMetadata, TheLastPacketWithAWellFormedDigestCounts)
{
    const std::string packet = record::CertificateXmp("Disk <A&B>", "Drive__A&B.json", kNew);
    EXPECT_NE(packet.find("Disk &lt;A&amp;B&gt;"), std::string::npos) << packet;
    EXPECT_EQ(record::RecordSha256FromCertificate("%PDF-1.4\nstream\n" + packet + "\nendstream"), kNew);

    // An updated PDF appends a newer packet after the first.
    EXPECT_EQ(record::RecordSha256FromCertificate(record::CertificateXmp("t", "r", kOld) + "\n" + packet), kNew);

    std::string upper = record::CertificateXmp("t", "r", kNew);
    upper[upper.find("abcdef")] = 'A';
    EXPECT_FALSE(record::RecordSha256FromCertificate(upper).has_value());
    EXPECT_FALSE(record::RecordSha256FromCertificate(record::CertificateXmp("t", "r", kNew.substr(1))).has_value());
    std::string outside = packet.substr(packet.find("<zdr:recordSha256>"));
    EXPECT_FALSE(record::RecordSha256FromCertificate(outside).has_value()) << "only inside an XMP packet";
}

} // namespace
} // namespace zd
