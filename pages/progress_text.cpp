#include "progress_text.h"

#include "discovery/drive_size.h"
#include "engine/device_access.h"

namespace zd::ui {

int32_t ProgressPercent(uint64_t sectorsDone, uint64_t sectorTotal)
{
    if (sectorTotal == 0)
        return 0;
    return static_cast<int32_t>(static_cast<double>(sectorsDone) / static_cast<double>(sectorTotal) * 100.0);
}

QString PercentText(int32_t percent) { return QString::asprintf("%d %%", percent); }

QString PassText(int32_t passesDone, int32_t passCount)
{
    return QString::asprintf("%d / %d Pass completed...", passesDone, passCount);
}

QString ElapsedText(int64_t seconds)
{
    const long long elapsed = seconds < 0 ? 0 : seconds;
    return QString::asprintf("%.2lld:%.2lld:%.2lld", elapsed / 3600, elapsed / 60 % 60, elapsed % 60);
}

QString SectorCountText(uint64_t sectors)
{
    const QString count = QString::number(sectors);
    const std::u16string size = FormatDriveSize(sectors * kSectorBytes);
    return size.empty() ? count : count + QStringLiteral(" (") + QString::fromStdU16String(size) + u')';
}

QString SpeedText(std::optional<double> bytesPerSecond)
{
    if (!bytesPerSecond)
        return QStringLiteral("--");
    return QString::asprintf("%.2f MB/s", *bytesPerSecond / 1048576.0);
}

QString TimeLeftText(std::optional<int64_t> seconds)
{
    return seconds ? ElapsedText(*seconds) : QStringLiteral("--:--:--");
}

QString ClockText(std::time_t when)
{
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &when) != 0)
        return {};
#else
    if (!localtime_r(&when, &local))
        return {};
#endif
    char text[128];
    const std::size_t length = std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return QString::fromLocal8Bit(text, static_cast<qsizetype>(length));
}

} // namespace zd::ui
