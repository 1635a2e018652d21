#include "certificate_metadata.h"

#include <algorithm>

#include "erasure_record.h"

namespace zd::record {

namespace {

constexpr std::string_view kPacketBegin = "<?xpacket begin=";
constexpr std::string_view kPacketEnd = "<?xpacket end=";
constexpr std::string_view kHashOpen = "<zdr:recordSha256>";
constexpr std::string_view kHashClose = "</zdr:recordSha256>";
constexpr std::size_t kHexDigits = 64;

std::string XmlText(std::string_view text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

bool IsLowerHex(std::string_view text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

} // namespace

std::string CertificateXmp(std::string_view title, std::string_view recordFile, std::string_view recordSha256)
{
    std::string xmp = "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
                      "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
                      " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
                      "  <rdf:Description rdf:about=\"\"\n"
                      "    xmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n"
                      "    xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"\n"
                      "    xmlns:zdr=\"urn:zeza-dera:erasure-record:1/\">\n"
                      "   <dc:format>application/pdf</dc:format>\n"
                      "   <dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">";
    xmp += XmlText(title);
    xmp += "</rdf:li></rdf:Alt></dc:title>\n   <xmp:CreatorTool>";
    xmp += XmlText(std::string(kToolName) + " " + std::string(ToolVersion()));
    xmp += "</xmp:CreatorTool>\n   <zdr:recordFile>";
    xmp += XmlText(recordFile);
    xmp += "</zdr:recordFile>\n   ";
    xmp += kHashOpen;
    xmp += recordSha256;
    xmp += kHashClose;
    xmp += "\n  </rdf:Description>\n </rdf:RDF>\n</x:xmpmeta>\n<?xpacket end=\"r\"?>";
    return xmp;
}

std::optional<std::string> RecordSha256FromCertificate(std::string_view pdf)
{
    std::optional<std::string> found;
    for (std::size_t begin = pdf.find(kPacketBegin); begin != std::string_view::npos;
         begin = pdf.find(kPacketBegin, begin + 1)) {
        const std::size_t end = pdf.find(kPacketEnd, begin);
        if (end == std::string_view::npos)
            break;
        const std::string_view packet = pdf.substr(begin, end - begin);
        const std::size_t open = packet.find(kHashOpen);
        if (open == std::string_view::npos)
            continue;
        const std::string_view value = packet.substr(open + kHashOpen.size(), kHexDigits + kHashClose.size());
        if (value.size() == kHexDigits + kHashClose.size() && value.ends_with(kHashClose) &&
            IsLowerHex(value.substr(0, kHexDigits)))
            found = std::string(value.substr(0, kHexDigits));
    }
    return found;
}

} // namespace zd::record
