// Drive objects that a test makes up: each property holds text or an
// integer, or is missing, which reads as "could not be read"; the identity
// is what the test puts there.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/drive_source.h"

namespace zd::test {

struct FakeDriveObject final : platform::DriveObject {
    std::map<std::u16string, std::u16string, std::less<>> texts;
    std::map<std::u16string, int64_t, std::less<>> integers;
    platform::DeviceIdentity identity;
    bool optical = false;
    std::vector<std::u16string> opticalTestCaptions; // what IsOpticalDrive was asked with

    std::optional<std::u16string> ReadText(std::u16string_view property) override
    {
        const auto found = texts.find(property);
        return found == texts.end() ? std::nullopt : std::optional(found->second);
    }

    std::optional<int64_t> ReadInteger(std::u16string_view property) override
    {
        const auto found = integers.find(property);
        return found == integers.end() ? std::nullopt : std::optional(found->second);
    }

    bool IsOpticalDrive(std::u16string_view caption) override
    {
        opticalTestCaptions.emplace_back(caption);
        return optical;
    }

    platform::DeviceIdentity ReadIdentity() override { return identity; }
};

struct FakeDriveSource final : platform::DriveSource {
    std::vector<FakeDriveObject> disks;
    std::vector<FakeDriveObject> volumes;

    void Enumerate(platform::DriveQuery query, const std::function<void(platform::DriveObject&)>& visit) override
    {
        for (auto& object : query == platform::DriveQuery::PhysicalDisks ? disks : volumes)
            visit(object);
    }
};

} // namespace zd::test
