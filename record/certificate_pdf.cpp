#include "certificate_pdf.h"

#include <QBuffer>
#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "certificate_metadata.h"
#include "certificate_text.h"
#include "record_files.h"

namespace zd::record {

namespace {

// The page is laid out in millimetres on A4.
constexpr double kPageWidth = 210;
constexpr double kPageHeight = 297;
constexpr double kMargin = 16;
constexpr double kContentWidth = kPageWidth - 2 * kMargin;
constexpr double kColumnGap = 8;
constexpr double kHalfWidth = (kContentWidth - kColumnGap) / 2;
constexpr int kDotsPerInch = 600;

constexpr double kRowHeight = 4.9;
constexpr double kSectionGap = 5;
constexpr double kSignatureHeight = 30;
constexpr double kFooterHeight = 9;
constexpr double kPassRowMinimum = 3.4;

const QColor kInk(0x1C, 0x25, 0x33);
const QColor kMuted(0x5F, 0x67, 0x73);
const QColor kRule(0xC9, 0xCF, 0xD6);
const QColor kShade(0xF1, 0xF3, 0xF5);

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QColor BadgeColour(OutcomeKind kind)
{
    switch (kind) {
    case OutcomeKind::Erased:
        return {0x1E, 0x7B, 0x34};
    case OutcomeKind::VerificationFailed:
        return {0xC2, 0x5E, 0x00};
    case OutcomeKind::Terminated:
        return {0xB3, 0x26, 0x1E};
    case OutcomeKind::Cancelled:
    case OutcomeKind::Unknown:
        break;
    }
    return {0x5F, 0x63, 0x68};
}

// While it lives, the process has a QGuiApplication: the one it had, or one
// on the offscreen platform made for the certificate.
class GuiApplicationScope {
public:
    GuiApplicationScope()
    {
        if (QCoreApplication::instance())
            return;
        g_previousHandler = qInstallMessageHandler(WithoutRuntimeDirectoryNotice);
        own_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    ~GuiApplicationScope()
    {
        if (!own_)
            return;
        own_.reset();
        qInstallMessageHandler(g_previousHandler);
    }
    GuiApplicationScope(const GuiApplicationScope&) = delete;
    GuiApplicationScope& operator=(const GuiApplicationScope&) = delete;

    bool usable() const { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

private:
    // A command-line tool run through sudo has no XDG_RUNTIME_DIR, and the
    // offscreen application says so on standard error on every wipe;
    // nothing of the certificate depends on that directory.
    static void WithoutRuntimeDirectoryNotice(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (message.startsWith("QStandardPaths: XDG_RUNTIME_DIR"))
            return;
        if (g_previousHandler)
            g_previousHandler(type, context, message);
    }

    static inline QtMessageHandler g_previousHandler = nullptr;
    static inline char name_[] = "zeza-dera";
    static inline char platformOption_[] = "-platform";
    static inline char offscreen_[] = "offscreen";
    // The application takes the options it knows out of its arguments, so
    // each one made gets a fresh list, alive as long as it is.
    int argc_ = 3;
    char* argv_[4] = {name_, platformOption_, offscreen_, nullptr};
    std::unique_ptr<QGuiApplication> own_;
};

struct Row {
    QString label;
    QString value;
};

struct Column {
    QString title;
    double width; // mm
    Qt::Alignment align = Qt::AlignLeft;
};

// Draws on the page in millimetres from its top left corner.
class Sheet {
public:
    explicit Sheet(QPainter& painter) : p_(painter) {}

    double unit() const { return kDotsPerInch / 25.4; }

    QFont Font(double points, bool bold = false, bool mono = false) const
    {
        QFont font(mono ? "DejaVu Sans Mono" : "DejaVu Sans");
        font.setStyleHint(mono ? QFont::Monospace : QFont::SansSerif);
        font.setPointSizeF(points);
        font.setBold(bold);
        return font;
    }

    // The width of a text in millimetres.
    double Width(const QString& text, const QFont& font) const
    {
        return QFontMetricsF(font, p_.device()).horizontalAdvance(text) / unit();
    }

    QRectF Rect(double x, double y, double width, double height) const
    {
        return {x * unit(), y * unit(), width * unit(), height * unit()};
    }

    // Text in a box, elided to its width.
    void Text(double x, double y, double width, double height, const QString& text, const QFont& font,
              const QColor& colour, Qt::Alignment align = Qt::AlignLeft)
    {
        p_.setFont(font);
        p_.setPen(colour);
        const QString shown = QFontMetricsF(font, p_.device()).elidedText(text, Qt::ElideRight, width * unit());
        p_.drawText(Rect(x, y, width, height), static_cast<int>(align | Qt::AlignVCenter), shown);
    }

    void Line(double x1, double y1, double x2, double y2, const QColor& colour, double widthMm = 0.25)
    {
        p_.setPen(QPen(colour, widthMm * unit()));
        p_.drawLine(QPointF(x1 * unit(), y1 * unit()), QPointF(x2 * unit(), y2 * unit()));
    }

    void Fill(double x, double y, double width, double height, const QColor& colour, double radius = 0)
    {
        p_.setPen(Qt::NoPen);
        p_.setBrush(colour);
        p_.drawRoundedRect(Rect(x, y, width, height), radius * unit(), radius * unit());
        p_.setBrush(Qt::NoBrush);
    }

    // A section title with a rule under it; returns the y below it.
    double Section(double x, double y, double width, const QString& title)
    {
        Text(x, y, width, 5, title.toUpper(), Font(8.5, true), kInk);
        Line(x, y + 5.4, x + width, y + 5.4, kRule);
        return y + 6.6;
    }

    // Label and value rows; returns the y below them.
    double Rows(double x, double y, double width, const std::vector<Row>& rows)
    {
        const double labelWidth = 27;
        for (const Row& row : rows) {
            Text(x, y, labelWidth, kRowHeight, row.label, Font(7.5), kMuted);
            Text(x + labelWidth, y, width - labelWidth, kRowHeight, row.value, Font(8.2), kInk);
            y += kRowHeight;
        }
        return y;
    }

    // A table with a shaded header; returns the y below it.
    double Table(double x, double y, const std::vector<Column>& columns, const std::vector<std::vector<QString>>& rows,
                 double rowHeight, double points)
    {
        double width = 0;
        for (const Column& column : columns)
            width += column.width;
        Fill(x, y, width, rowHeight, kShade);
        double at = x;
        for (const Column& column : columns) {
            Text(at + 1, y, column.width - 2, rowHeight, column.title, Font(points - 0.5, true), kMuted, column.align);
            at += column.width;
        }
        y += rowHeight;
        for (const auto& cells : rows) {
            at = x;
            for (std::size_t i = 0; i < columns.size() && i < cells.size(); ++i) {
                Text(at + 1, y, columns[i].width - 2, rowHeight, cells[i], Font(points), kInk, columns[i].align);
                at += columns[i].width;
            }
            y += rowHeight;
            Line(x, y, x + width, y, kShade, 0.15);
        }
        return y;
    }

private:
    QPainter& p_;
};

QString DeviceSizeText(const platform::DeviceIdentity& device)
{
    return device.sizeBytes ? Q(SizeText(device.sizeBytes)) : Q(OrDash({}));
}

QString SectorSizeText(const platform::DeviceIdentity& device)
{
    if (!device.logicalSectorSize)
        return Q(OrDash({}));
    return QString("%1 B logical, %2 B physical")
        .arg(device.logicalSectorSize)
        .arg(device.physicalSectorSize ? device.physicalSectorSize : device.logicalSectorSize);
}

std::vector<Row> DeviceRows(const platform::DeviceIdentity& device)
{
    std::vector<Row> rows{
        {"Model", Q(OrDash(device.model))},         {"Serial number", Q(OrDash(device.serial))},
        {"WWN / EUI", Q(OrDash(device.wwn))},       {"Firmware", Q(OrDash(device.firmware))},
        {"Transport", Q(OrDash(device.transport))}, {"Rotational", Q(YesNo(device.rotational))},
        {"Capacity", DeviceSizeText(device)},       {"Sector size", SectorSizeText(device)},
        {"Device", Q(OrDash(device.devicePath))},
    };
    if (device.backingFile)
        rows.push_back({"Backing file", QString("%1 (inode %2, offset %3)")
                                            .arg(Q(device.backingFile->path))
                                            .arg(device.backingFile->inode)
                                            .arg(device.backingFile->offset)});
    return rows;
}

std::vector<Row> RunRows(const ErasureRecord& record)
{
    return {
        {"Method", QString("%1 (method %2)").arg(Q(record.methodName)).arg(record.methodId)},
        {"Passes", QString::number(record.passes.size())},
        {"Started", Q(MomentText(record.started))},
        {"Ended", Q(MomentText(record.ended))},
        {"Data written", Q(SizeText(record.sectorsWritten * kRecordSectorBytes))},
        {"Throughput", Q(ThroughputText(record.bytesPerSecond))},
        {"Operator", Q(OrDash(record.operatorName.value_or("")))},
        {"Tool", Q(record.toolName + " " + record.toolVersion)},
    };
}

std::vector<Row> HostRows(const platform::HostInfo& host)
{
    std::string system = host.systemVendor;
    if (!host.systemProduct.empty())
        system += (system.empty() ? "" : " ") + host.systemProduct;
    return {
        {"Host name", Q(OrDash(host.hostname))},
        {"System", Q(OrDash(system))},
        {"System serial", Q(OrDash(host.systemSerial))},
        {"Operating system", Q(OrDash(host.os))},
        {"Kernel", Q(OrDash(host.kernel + (host.architecture.empty() ? "" : " " + host.architecture)))},
        {"Machine id", Q(OrDash(host.machineId))},
    };
}

std::vector<Row> VerificationRows(const ErasureRecord& record)
{
    if (!record.verification)
        return {{"Verification", "Not done: the run ended before it"}};
    const VerificationRecord& v = *record.verification;
    const bool samples = v.mode == VerifyMode::Samples;
    return {
        {"Mode", samples ? "Samples read back" : "Every sector read back"},
        {samples ? "Samples checked" : "Sectors checked", Q(GroupedNumber(v.checked))},
        {"Mismatches", Q(GroupedNumber(v.mismatches))},
        {"Unreadable", Q(GroupedNumber(v.unreadable))},
        {"Result", v.failures() == 0 ? "Passed" : "Failed"},
    };
}

// The pass table: in one column with every detail when the passes fit one
// above the other in the height left, else (for a method of many passes) in
// three columns side by side with the pattern and result of each.
double DrawPasses(Sheet& sheet, double y, double height, const ErasureRecord& record)
{
    y = sheet.Section(kMargin, y, kContentWidth, "Passes");
    height -= 6.6;
    const std::size_t count = record.passes.size();
    const bool detailed = static_cast<double>(count + 1) * kRowHeight <= height;
    const std::size_t columns = detailed ? 1 : 3;
    const std::size_t perColumn = (count + columns - 1) / columns;
    const double rowHeight =
        detailed ? kRowHeight : std::clamp(height / static_cast<double>(perColumn + 1), kPassRowMinimum, kRowHeight);
    const std::vector<Column> layout =
        detailed ? std::vector<Column>{{"#", 8, Qt::AlignRight},
                                       {"Pattern", 30},
                                       {"Started", 42},
                                       {"Ended", 19},
                                       {"Sectors written", 29, Qt::AlignRight},
                                       {"Throughput", 24, Qt::AlignRight},
                                       {"Result", 26}}
                 : std::vector<Column>{{"#", 8, Qt::AlignRight}, {"Pattern", 26}, {"Result", 21}};
    double width = 0;
    for (const Column& column : layout)
        width += column.width;
    const double gap = detailed ? 0 : (kContentWidth - static_cast<double>(columns) * width) / (columns - 1);

    double bottom = y;
    for (std::size_t first = 0, side = 0; first < count; first += perColumn, ++side) {
        std::vector<std::vector<QString>> rows;
        for (std::size_t i = first; i < std::min(count, first + perColumn); ++i) {
            const PassRecord& pass = record.passes[i];
            if (detailed)
                rows.push_back({QString::number(i + 1), Q(pass.pattern), Q(MomentText(pass.started)),
                                Q(MomentText(pass.ended, true)), Q(GroupedNumber(pass.sectorsWritten)),
                                Q(ThroughputText(pass.bytesPerSecond)), Q(PassResultText(pass.result))});
            else
                rows.push_back({QString::number(i + 1), Q(pass.pattern), Q(PassResultText(pass.result))});
        }
        const double x = kMargin + static_cast<double>(side) * (width + gap);
        bottom = std::max(bottom, sheet.Table(x, y, layout, rows, rowHeight, detailed ? 7.5 : 7));
    }
    return bottom;
}

void DrawDigests(Sheet& sheet, double y, const ErasureRecord& record, const SealedRecord& sealed)
{
    y = sheet.Section(kMargin, y, kContentWidth, "Integrity");
    const auto digest = [&](const QString& label, const std::string& value) {
        sheet.Text(kMargin, y, kContentWidth, 4.4, label, sheet.Font(7.5), kMuted);
        sheet.Text(kMargin, y + 4.2, kContentWidth, 4.8, Q(value), sheet.Font(8.8, false, true), kInk);
        y += 10;
    };
    digest(QString("SHA-256 of the run log %1").arg(Q(record.logFile)), record.logSha256);
    digest(QString("SHA-256 of the erasure record %1").arg(Q(Utf8FileName(sealed.json))), sealed.sha256);
    sheet.Text(kMargin, y - 0.6, kContentWidth, 4.4,
               QString("To check that both files are unchanged: zeza-dera-cli verify-record %1")
                   .arg(Q(Utf8FileName(sealed.json))),
               sheet.Font(7.5), kMuted);
}

// The statement the signatures vouch for and the two signature lines, at
// the foot of the page.
void DrawSignatures(Sheet& sheet, double y, const ErasureRecord& record)
{
    sheet.Text(kMargin, y, kContentWidth, 5,
               "We confirm that the run described above took place as this certificate records.", sheet.Font(8.5),
               kInk);
    y += 8;
    const auto box = [&](double x, const QString& title, const QString& name) {
        sheet.Text(x, y, kHalfWidth, 5, title, sheet.Font(8.5, true), kInk);
        if (!name.isEmpty())
            sheet.Text(x, y + 5, kHalfWidth, 4.4, name, sheet.Font(8), kInk);
        sheet.Line(x, y + 17, x + kHalfWidth, y + 17, kInk, 0.3);
        sheet.Text(x, y + 17.6, kHalfWidth, 4, "Name, signature and date", sheet.Font(7), kMuted);
    };
    box(kMargin, "Operator", Q(record.operatorName.value_or("")));
    box(kMargin + kHalfWidth + kColumnGap, "Witness", {});
}

void DrawHeader(Sheet& sheet, const ErasureRecord& record)
{
    const double y = kMargin;
    sheet.Text(kMargin, y, 120, 10, "Certificate of Data Erasure", sheet.Font(19, true), kInk);
    sheet.Text(kMargin, y + 10, 72, 5,
               QString("%1 %2  \u00B7  erasure record schema %3")
                   .arg(Q(record.toolName), Q(record.toolVersion))
                   .arg(record.schemaVersion),
               sheet.Font(8), kMuted);
    const double badgeWidth = 62;
    const double badgeX = kPageWidth - kMargin - badgeWidth;
    sheet.Fill(badgeX, y, badgeWidth, 13, BadgeColour(KindOfOutcome(record.outcome)), 2);
    // An outcome too long for the badge (a termination's cause) is given
    // in full under it, and the badge names only its kind.
    const QString outcome = Q(record.outcome);
    double points = 11;
    while (points > 9 && sheet.Width(outcome, sheet.Font(points, true)) > badgeWidth - 6)
        points -= 0.5;
    const QFont badgeFont = sheet.Font(points, true);
    QString badge = outcome;
    if (sheet.Width(outcome, badgeFont) > badgeWidth - 6) {
        badge = outcome.section(':', 0, 0);
        const double causeX = kMargin + 75;
        sheet.Text(causeX, y + 12.9, kPageWidth - kMargin - causeX, 3.8, outcome, sheet.Font(7, true), kInk,
                   Qt::AlignRight);
    }
    sheet.Text(badgeX + 3, y, badgeWidth - 6, 13, badge, badgeFont, Qt::white, Qt::AlignHCenter);
    sheet.Line(kMargin, y + 17, kPageWidth - kMargin, y + 17, kInk, 0.5);
}

void DrawPage(QPainter& painter, const ErasureRecord& record, const SealedRecord& sealed)
{
    Sheet sheet(painter);
    DrawHeader(sheet, record);

    double y = kMargin + 21;
    const double left =
        sheet.Rows(kMargin, sheet.Section(kMargin, y, kHalfWidth, "Device"), kHalfWidth, DeviceRows(record.device));
    const double rightX = kMargin + kHalfWidth + kColumnGap;
    const double right =
        sheet.Rows(rightX, sheet.Section(rightX, y, kHalfWidth, "Erasure"), kHalfWidth, RunRows(record));
    y = std::max(left, right) + kSectionGap;

    const double host =
        sheet.Rows(kMargin, sheet.Section(kMargin, y, kHalfWidth, "Computer"), kHalfWidth, HostRows(record.host));
    const double verification =
        sheet.Rows(rightX, sheet.Section(rightX, y, kHalfWidth, "Verification"), kHalfWidth, VerificationRows(record));
    y = std::max(host, verification) + kSectionGap;

    // The passes take the height the parts below them leave; the
    // signatures stand at the foot of the page.
    const double signaturesY = kPageHeight - kMargin - kFooterHeight - kSignatureHeight;
    const double digestsHeight = 6.6 + 2 * 10 + 4;
    const double passesBottom =
        DrawPasses(sheet, y, signaturesY - kSectionGap - digestsHeight - kSectionGap - y, record);
    DrawDigests(sheet, passesBottom + kSectionGap, record, sealed);
    DrawSignatures(sheet, signaturesY, record);

    const double footerY = kPageHeight - kMargin - 4;
    sheet.Line(kMargin, footerY - 1, kPageWidth - kMargin, footerY - 1, kRule);
    sheet.Text(kMargin, footerY, kContentWidth, 4,
               QString("Made by %1 %2 on %3 from the erasure record %4, which holds every value shown here.")
                   .arg(Q(record.toolName), Q(record.toolVersion), Q(OrDash(record.host.hostname)),
                        Q(Utf8FileName(sealed.json))),
               sheet.Font(6.5), kMuted);
}

QString Title(const ErasureRecord& record)
{
    QString title = "Certificate of Data Erasure";
    if (!record.device.model.empty())
        title += " \u2014 " + Q(record.device.model);
    if (!record.device.serial.empty())
        title += " " + Q(record.device.serial);
    return title;
}

} // namespace

std::string CertificateUnavailable()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return {};
    QStringList folders = QCoreApplication::libraryPaths();
    for (QString& folder : folders)
        folder += "/platforms";
    folders += qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
    for (const QString& folder : folders)
        if (!folder.isEmpty() && !QDir(folder).entryList({"*qoffscreen*"}, QDir::Files).isEmpty())
            return {};
    return "Qt's \"offscreen\" platform plugin is not installed (Debian package qt6-qpa-plugins)";
}

bool WriteCertificatePdf(const ErasureRecord& record, const SealedRecord& sealed)
{
    if (!CertificateUnavailable().empty())
        return false;
    const GuiApplicationScope gui;
    if (!gui.usable())
        return false;
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&pdf);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
        writer.setResolution(kDotsPerInch);
        writer.setTitle(Title(record));
        writer.setCreator(Q(record.toolName + " " + record.toolVersion));
        writer.setDocumentXmpMetadata(QByteArray::fromStdString(
            CertificateXmp(Title(record).toStdString(), Utf8FileName(sealed.json), sealed.sha256)));
        QPainter painter;
        if (!painter.begin(&writer))
            return false;
        painter.setRenderHint(QPainter::Antialiasing);
        DrawPage(painter, record, sealed);
        if (!painter.end())
            return false;
    }
    // Written like the log: never through a symbolic link.
    return WriteRecordFile(sealed.certificate, std::string_view(pdf.data().constData(), pdf.data().size()));
}

} // namespace zd::record
