#include "record_json.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <span>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/text.h"

namespace zd::record {

namespace {

// Objects keep their fields in the order written, for a person reading them.
using json = nlohmann::ordered_json;

constexpr std::array<std::pair<PassResult, std::string_view>, 4> kPassResults{{
    {PassResult::Completed, "completed"},
    {PassResult::Cancelled, "cancelled"},
    {PassResult::Failed, "failed"},
    {PassResult::NotStarted, "not started"},
}};

constexpr std::array<std::pair<VerifyMode, std::string_view>, 2> kVerifyModes{{
    {VerifyMode::Samples, "samples"},
    {VerifyMode::Full, "full"},
}};

template <class Enum, std::size_t N>
std::string_view NameOf(const std::array<std::pair<Enum, std::string_view>, N>& names, Enum value)
{
    for (const auto& [candidate, name] : names)
        if (candidate == value)
            return name;
    return {};
}

template <class Enum, std::size_t N>
Enum ValueOf(const std::array<std::pair<Enum, std::string_view>, N>& names, const json& text)
{
    for (const auto& [value, name] : names)
        if (text.get<std::string>() == name)
            return value;
    throw json::other_error::create(501, "unknown name " + text.dump(), &text);
}

template <class T> json OrNull(const std::optional<T>& value) { return value ? json(*value) : json(nullptr); }

template <class T> std::optional<T> Optional(const json& value)
{
    return value.is_null() ? std::nullopt : std::optional<T>(value.get<T>());
}

json EmptyAsNull(const std::string& text) { return text.empty() ? json(nullptr) : json(text); }

std::string NullAsEmpty(const json& text) { return text.is_null() ? std::string() : text.get<std::string>(); }

json HostJson(const platform::HostInfo& host)
{
    return {{"hostname", host.hostname},
            {"os", host.os},
            {"kernel", host.kernel},
            {"architecture", host.architecture},
            {"machineId", host.machineId},
            {"systemVendor", host.systemVendor},
            {"systemProduct", host.systemProduct},
            {"systemSerial", host.systemSerial}};
}

platform::HostInfo HostFrom(const json& host)
{
    return {host.at("hostname"),  host.at("os"),           host.at("kernel"),        host.at("architecture"),
            host.at("machineId"), host.at("systemVendor"), host.at("systemProduct"), host.at("systemSerial")};
}

json DeviceJson(const platform::DeviceIdentity& device)
{
    json backing = nullptr;
    if (device.backingFile)
        backing = {{"path", device.backingFile->path},
                   {"device", device.backingFile->device},
                   {"inode", device.backingFile->inode},
                   {"offset", device.backingFile->offset}};
    return {{"path", device.devicePath},
            {"deviceNumber", device.deviceNumber},
            {"model", device.model},
            {"serial", device.serial},
            {"wwn", device.wwn},
            {"firmware", device.firmware},
            {"transport", device.transport},
            {"rotational", OrNull(device.rotational)},
            {"logicalSectorSize", device.logicalSectorSize},
            {"physicalSectorSize", device.physicalSectorSize},
            {"sizeBytes", device.sizeBytes},
            {"backingFile", backing}};
}

platform::DeviceIdentity DeviceFrom(const json& device)
{
    platform::DeviceIdentity identity;
    identity.devicePath = device.at("path");
    identity.deviceNumber = device.at("deviceNumber");
    identity.model = device.at("model");
    identity.serial = device.at("serial");
    identity.wwn = device.at("wwn");
    identity.firmware = device.at("firmware");
    identity.transport = device.at("transport");
    identity.rotational = Optional<bool>(device.at("rotational"));
    identity.logicalSectorSize = device.at("logicalSectorSize");
    identity.physicalSectorSize = device.at("physicalSectorSize");
    identity.sizeBytes = device.at("sizeBytes");
    if (const json& backing = device.at("backingFile"); !backing.is_null())
        identity.backingFile =
            platform::BackingFile{backing.at("path"), backing.at("device"), backing.at("inode"), backing.at("offset")};
    return identity;
}

json PassJson(const PassRecord& pass, std::size_t number)
{
    return {{"number", number},
            {"pattern", pass.pattern},
            {"result", NameOf(kPassResults, pass.result)},
            {"started", EmptyAsNull(pass.started)},
            {"ended", EmptyAsNull(pass.ended)},
            {"sectorsWritten", pass.sectorsWritten},
            {"bytesPerSecond", OrNull(pass.bytesPerSecond)}};
}

PassRecord PassFrom(const json& pass)
{
    return {pass.at("pattern"),
            ValueOf(kPassResults, pass.at("result")),
            NullAsEmpty(pass.at("started")),
            NullAsEmpty(pass.at("ended")),
            pass.at("sectorsWritten"),
            Optional<uint64_t>(pass.at("bytesPerSecond"))};
}

json VerificationJson(const std::optional<VerificationRecord>& verification)
{
    if (!verification)
        return nullptr;
    return {{"mode", NameOf(kVerifyModes, verification->mode)},
            {"checked", verification->checked},
            {"mismatches", verification->mismatches},
            {"unreadable", verification->unreadable}};
}

std::optional<VerificationRecord> VerificationFrom(const json& verification)
{
    if (verification.is_null())
        return std::nullopt;
    return VerificationRecord{ValueOf(kVerifyModes, verification.at("mode")), verification.at("checked"),
                              verification.at("mismatches"), verification.at("unreadable")};
}

// Texts from the system (a file name, a drive's model) need not be UTF-8,
// which JSON cannot carry. Each such text is written with U+FFFD for what
// cannot be decoded, and its bytes kept in hexadecimal under "rawTexts",
// keyed by the field's JSON Pointer, so that reading restores it exactly.
void KeepRawTexts(json& node, const json::json_pointer& at, json& raw)
{
    if (node.is_string()) {
        const std::string& text = node.get_ref<const std::string&>();
        if (!IsValidUtf8(text)) {
            raw[at.to_string()] = LowerHex(std::as_bytes(std::span(text.data(), text.size())));
            node = Utf16ToUtf8(Utf8ToUtf16(text));
        }
    } else if (node.is_object()) {
        for (auto& [key, value] : node.items())
            KeepRawTexts(value, at / key, raw);
    } else if (node.is_array()) {
        for (std::size_t i = 0; i < node.size(); ++i)
            KeepRawTexts(node[i], at / i, raw);
    }
}

std::string BytesOfHex(const json& digits)
{
    const std::string& hex = digits.get_ref<const std::string&>();
    std::string bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        unsigned value = 0;
        const char* end = hex.data() + std::min(i + 2, hex.size());
        if (end != hex.data() + i + 2 || std::from_chars(hex.data() + i, end, value, 16).ptr != end)
            throw json::other_error::create(501, "not pairs of hexadecimal digits", &digits);
        bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}

void RestoreRawTexts(json& document)
{
    const auto raw = document.find("rawTexts");
    if (raw == document.end())
        return;
    for (const auto& [pointer, hex] : raw->items())
        document.at(json::json_pointer(pointer)) = BytesOfHex(hex);
}

} // namespace

std::string RecordToJson(const ErasureRecord& record)
{
    json passes = json::array();
    for (std::size_t i = 0; i < record.passes.size(); ++i)
        passes.push_back(PassJson(record.passes[i], i + 1));
    json document = {
        {"schemaVersion", record.schemaVersion},
        {"tool", {{"name", record.toolName}, {"version", record.toolVersion}}},
        {"host", HostJson(record.host)},
        {"operator", OrNull(record.operatorName)},
        {"device", DeviceJson(record.device)},
        {"method", {{"id", record.methodId}, {"name", record.methodName}, {"passes", passes}}},
        {"run",
         {{"started", record.started},
          {"ended", record.ended},
          {"sectorsWritten", record.sectorsWritten},
          {"bytesPerSecond", OrNull(record.bytesPerSecond)}}},
        {"verification", VerificationJson(record.verification)},
        {"outcome", record.outcome},
        {"log", {{"file", record.logFile}, {"sha256", record.logSha256}}},
    };
    json raw = json::object();
    KeepRawTexts(document, json::json_pointer(), raw);
    if (!raw.empty())
        document["rawTexts"] = std::move(raw);
    return document.dump(2) + "\n";
}

std::optional<ErasureRecord> RecordFromJson(std::string_view text)
{
    json document = json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object())
        return std::nullopt;
    try {
        RestoreRawTexts(document);
        ErasureRecord record;
        record.schemaVersion = document.at("schemaVersion");
        if (record.schemaVersion != kSchemaVersion)
            return std::nullopt;
        record.toolName = document.at("tool").at("name");
        record.toolVersion = document.at("tool").at("version");
        record.host = HostFrom(document.at("host"));
        record.operatorName = Optional<std::string>(document.at("operator"));
        record.device = DeviceFrom(document.at("device"));
        const json& method = document.at("method");
        record.methodId = method.at("id");
        record.methodName = method.at("name");
        for (const json& pass : method.at("passes"))
            record.passes.push_back(PassFrom(pass));
        const json& run = document.at("run");
        record.started = run.at("started");
        record.ended = run.at("ended");
        record.sectorsWritten = run.at("sectorsWritten");
        record.bytesPerSecond = Optional<uint64_t>(run.at("bytesPerSecond"));
        record.verification = VerificationFrom(document.at("verification"));
        record.outcome = document.at("outcome");
        record.logFile = document.at("log").at("file");
        record.logSha256 = document.at("log").at("sha256");
        return record;
    } catch (const json::exception&) {
        return std::nullopt; // a missing field or one of another type
    }
}

} // namespace zd::record
