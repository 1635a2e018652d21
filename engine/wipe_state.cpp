#include "wipe_state.h"

#include <algorithm>

namespace zd {

Holder<WipeSelection> g_wipeSelection;
Holder<WipeJob> g_wipeJob;
Holder<WipeProgress> g_wipeProgress;

namespace {

template <class Match> const OverwriteMethod* FindMethod(Match match)
{
    const auto it = std::find_if(kOverwriteMethods.begin(), kOverwriteMethods.end(), match);
    return it == kOverwriteMethods.end() ? nullptr : &*it;
}

} // namespace

const OverwriteMethod* FindMethodByButton(int32_t buttonId)
{
    return FindMethod([&](const OverwriteMethod& m) { return m.buttonId == buttonId; });
}

const OverwriteMethod* FindMethodById(int32_t algorithmId)
{
    return FindMethod([&](const OverwriteMethod& m) { return m.algorithmId == algorithmId; });
}

WipeSelection::WipeSelection() { SetFixedText(algorithmName, Utf8ToUtf16(kOverwriteMethods[0].name)); }

std::optional<bool> SelectMethod(WipeSelection& selection, int32_t buttonId)
{
    const OverwriteMethod* method = FindMethodByButton(buttonId);
    if (!method)
        return std::nullopt;
    selection.algorithmId = method->algorithmId;
    SetFixedText(selection.algorithmName, Utf8ToUtf16(method->name));
    selection.passCount = method->passCount;
    selection.passesDone = 0;
    return method->algorithmId == kCustomMethodId;
}

WipeJob& CreateWipeJob(std::unique_ptr<DeviceRecord> device, WipeSelection& selection)
{
    selection.selectedSectorCount = device->sectorCount;
    return g_wipeJob.Create(WipeJob{std::move(device)});
}

void ReleaseWipeJob() { g_wipeJob.Release(); }

} // namespace zd
