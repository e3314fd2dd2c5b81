#include "ImageGenerator.h"

#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <array>

namespace {

// The window's palette: header blue, dark frame blue, page blue, light text.
const QColor kHeaderBlue(68, 110, 158);
const QColor kFrameBlue(10, 48, 82);
const QColor kDarkText(26, 73, 120);
const QColor kPageBlue(190, 213, 245);
const QColor kLightText(207, 224, 243);
const QColor kDisabledGrey(136, 136, 136);

constexpr std::array<int, 4> kStates = {0, 1, 2, 3};

QPen RoundPen(const QColor &colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void FillRounded(QPainter &painter, const QRectF &rect, qreal radius, const QBrush &fill,
                 const QColor &border)
{
    painter.setPen(border.isValid() ? QPen(border, 1.0) : Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(rect, radius, radius);
}

QLinearGradient Vertical(const QRectF &rect, const QColor &top, const QColor &bottom)
{
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0.0, top);
    gradient.setColorAt(1.0, bottom);
    return gradient;
}

} // namespace

ImageGenerator::ImageGenerator(const QString &outputDirectory)
    : m_output(QDir(outputDirectory).absolutePath())
{
}

bool ImageGenerator::GenerateAll()
{
    m_written.clear();
    bool ok = GenerateHeaderButtons();
    ok = GenerateLongButtons() && ok;
    ok = GenerateToolButtons() && ok;
    ok = GenerateTabs() && ok;
    return WriteResourceList() && ok;
}

QImage ImageGenerator::NewImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QString ImageGenerator::StateSuffix(State state)
{
    switch (state) {
    case State::Available:
        return QStringLiteral("_Available.png");
    case State::Hover:
        return QStringLiteral("_Hover.png");
    case State::Press:
        return QStringLiteral("_Press.png");
    case State::Invalid:
        break;
    }
    return QStringLiteral("_Invalid.png");
}

QColor ImageGenerator::IconColour(State state)
{
    return state == State::Invalid ? kDisabledGrey : kLightText;
}

bool ImageGenerator::Save(const QImage &image, const QString &relativePath)
{
    const QString path = m_output.filePath(relativePath);
    QDir().mkpath(QFileInfo(path).path());
    if (!image.save(path, "PNG"))
        return false;
    m_written.append(relativePath);
    return true;
}

// ------------------------------------------------------------ title bar --

bool ImageGenerator::GenerateHeaderButtons()
{
    bool ok = HeaderButton(QStringLiteral("Info"), 55, PaintInfo, false);
    ok = HeaderButton(QStringLiteral("Help"), 55, PaintHelp, false) && ok;
    ok = HeaderButton(QStringLiteral("Min"), 29, PaintMin, false) && ok;
    ok = HeaderButton(QStringLiteral("Max"), 29, PaintMax, false) && ok;
    return HeaderButton(QStringLiteral("Close"), 29, PaintClose, true) && ok;
}

bool ImageGenerator::HeaderButton(const QString &name, int width, const Painter &icon,
                                  bool closeButton)
{
    bool ok = true;
    for (int index : kStates) {
        const auto state = static_cast<State>(index);
        QImage image = NewImage(width, 30);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF cell(1.5, 3.5, width - 3.0, 23.0);
        if (state == State::Hover)
            FillRounded(painter, cell, 3, closeButton ? QColor(196, 64, 64) : QColor(98, 140, 188),
                        QColor());
        else if (state == State::Press)
            FillRounded(painter, cell, 3, closeButton ? QColor(150, 40, 40) : kFrameBlue, QColor());
        // Text buttons keep their word on the right; the sign sits on the left.
        const QRectF iconArea = width > 30 ? QRectF(2, 8, 14, 14) : QRectF(7.5, 8, 14, 14);
        icon(painter, iconArea, IconColour(state));
        painter.end();
        ok = Save(image, QStringLiteral("UI/Button/") + name + StateSuffix(state)) && ok;
    }
    return ok;
}

void ImageGenerator::PaintInfo(QPainter &painter, const QRectF &area, const QColor &colour)
{
    painter.setPen(RoundPen(colour, 1.6));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(area.adjusted(0.5, 0.5, -0.5, -0.5));
    const qreal x = area.center().x();
    painter.setPen(RoundPen(colour, 2.0));
    painter.drawPoint(QPointF(x, area.top() + 4.5));
    painter.drawLine(QPointF(x, area.top() + 7.5), QPointF(x, area.bottom() - 3.5));
}

void ImageGenerator::PaintHelp(QPainter &painter, const QRectF &area, const QColor &colour)
{
    painter.setPen(RoundPen(colour, 1.6));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(area.adjusted(0.5, 0.5, -0.5, -0.5));
    const qreal x = area.center().x();
    QPainterPath hook;
    hook.moveTo(x - 2.6, area.top() + 5.5);
    hook.cubicTo(x - 2.6, area.top() + 2.5, x + 3.0, area.top() + 2.5, x + 2.8, area.top() + 5.6);
    hook.cubicTo(x + 2.6, area.top() + 7.6, x, area.top() + 7.8, x, area.top() + 10.0);
    painter.setPen(RoundPen(colour, 1.7));
    painter.drawPath(hook);
    painter.setPen(RoundPen(colour, 2.0));
    painter.drawPoint(QPointF(x, area.bottom() - 3.0));
}

void ImageGenerator::PaintMin(QPainter &painter, const QRectF &area, const QColor &colour)
{
    painter.setPen(RoundPen(colour, 2.0));
    const qreal y = area.bottom() - 3;
    painter.drawLine(QPointF(area.left() + 2, y), QPointF(area.right() - 2, y));
}

void ImageGenerator::PaintMax(QPainter &painter, const QRectF &area, const QColor &colour)
{
    painter.setPen(RoundPen(colour, 1.6));
    painter.setBrush(Qt::NoBrush);
    const QRectF box = area.adjusted(2, 2, -2, -2);
    painter.drawRect(box);
    painter.setPen(RoundPen(colour, 2.6));
    painter.drawLine(box.topLeft(), box.topRight());
}

void ImageGenerator::PaintClose(QPainter &painter, const QRectF &area, const QColor &colour)
{
    painter.setPen(RoundPen(colour, 2.0));
    const QRectF cross = area.adjusted(2.5, 2.5, -2.5, -2.5);
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
}

// ---------------------------------------------------------- long buttons --

bool ImageGenerator::GenerateLongButtons()
{
    // Stretched with 3-pixel borders, so only the edges and the gradient count.
    struct Look
    {
        QColor top, bottom, border;
    };
    const std::array<Look, 4> looks = {{
        {QColor(255, 255, 255), QColor(214, 226, 243), QColor(120, 150, 190)},
        {QColor(240, 247, 255), QColor(190, 213, 245), kHeaderBlue},
        {QColor(88, 130, 178), kDarkText, kFrameBlue},
        {QColor(240, 240, 240), QColor(222, 222, 222), QColor(176, 176, 176)},
    }};
    bool ok = true;
    for (int index : kStates) {
        const Look &look = looks[static_cast<std::size_t>(index)];
        QImage image = NewImage(48, 32);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF rect(0.5, 0.5, 47.0, 31.0);
        FillRounded(painter, rect, 2.5, Vertical(rect, look.top, look.bottom), look.border);
        painter.end();
        ok = Save(image,
                  QStringLiteral("UI/Button/CBLong") + StateSuffix(static_cast<State>(index))) &&
             ok;
    }
    return ok;
}

// ---------------------------------------------------------- tool buttons --

bool ImageGenerator::GenerateToolButtons()
{
    bool ok = ToolButton(QStringLiteral("Patient"), PaintPatient);
    ok = ToolButton(QStringLiteral("Table"), PaintTable) && ok;
    return ToolButton(QStringLiteral("Trend"), PaintTrend) && ok;
}

bool ImageGenerator::ToolButton(const QString &name, const Painter &icon)
{
    bool ok = true;
    for (int index : kStates) {
        const auto state = static_cast<State>(index);
        QImage image = NewImage(94, 71);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF cell(2.5, 2.5, 89.0, 66.0);
        QColor colour = kHeaderBlue;
        if (state == State::Hover) {
            FillRounded(painter, cell, 5, Vertical(cell, QColor(246, 250, 255), kPageBlue),
                        QColor(150, 180, 220));
        } else if (state == State::Press) {
            FillRounded(painter, cell, 5,
                        Vertical(cell, QColor(255, 255, 255), QColor(220, 232, 248)), kHeaderBlue);
            colour = kDarkText;
        } else if (state == State::Invalid) {
            colour = kDisabledGrey;
        }
        // The word stands under the picture (the button's text starts with two
        // line breaks), so the picture keeps to the upper half.
        icon(painter, QRectF(32, 9, 30, 26), colour);
        painter.end();
        ok = Save(image, QStringLiteral("UI/AnalysisButton/") + name + StateSuffix(state)) && ok;
    }
    return ok;
}

void ImageGenerator::PaintPatient(QPainter &painter, const QRectF &area, const QColor &colour)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    const qreal x = area.center().x();
    painter.drawEllipse(QPointF(x, area.top() + 7), 6.5, 6.5);
    QPainterPath body;
    body.moveTo(area.left() + 3, area.bottom());
    body.cubicTo(area.left() + 3, area.top() + 15, area.right() - 3, area.top() + 15,
                 area.right() - 3, area.bottom());
    body.closeSubpath();
    painter.drawPath(body);
}

void ImageGenerator::PaintTable(QPainter &painter, const QRectF &area, const QColor &colour)
{
    const QRectF grid = area.adjusted(1, 2, -1, -1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(grid.left(), grid.top(), grid.width(), 6), 1.5, 1.5);
    painter.setPen(RoundPen(colour, 1.6));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(grid, 1.5, 1.5);
    for (int line = 1; line < 3; ++line) {
        const qreal y = grid.top() + 6 + line * (grid.height() - 6) / 3;
        painter.drawLine(QPointF(grid.left(), y), QPointF(grid.right(), y));
    }
    const qreal x = grid.left() + grid.width() / 3;
    painter.drawLine(QPointF(x, grid.top()), QPointF(x, grid.bottom()));
}

void ImageGenerator::PaintTrend(QPainter &painter, const QRectF &area, const QColor &colour)
{
    painter.setPen(RoundPen(colour, 1.6));
    painter.drawLine(area.topLeft() + QPointF(1, 0), area.bottomLeft() + QPointF(1, 0));
    painter.drawLine(area.bottomLeft() + QPointF(1, 0), area.bottomRight());
    QPainterPath curve;
    curve.moveTo(area.left() + 4, area.bottom() - 6);
    curve.lineTo(area.left() + 11, area.top() + 11);
    curve.lineTo(area.left() + 17, area.bottom() - 10);
    curve.lineTo(area.right() - 1, area.top() + 2);
    painter.setPen(RoundPen(colour, 2.4));
    painter.drawPath(curve);
}

// ------------------------------------------------------------------ tabs --

bool ImageGenerator::GenerateTabs()
{
    struct Tab
    {
        const char *file;
        QColor top, bottom;
    };
    const std::array<Tab, 5> tabs = {{
        {"TabButton_Selected.png", QColor(226, 237, 252), kPageBlue},
        {"TabButton_Unselected.png", QColor(88, 130, 178), kHeaderBlue},
        {"TabButton_Unselected_Hover.png", QColor(226, 237, 252), QColor(170, 198, 236)},
        {"TabButton_Unselected_Press.png", QColor(48, 88, 134), kFrameBlue},
        {"TabButton_Unselected_Invalid.png", QColor(176, 186, 198), QColor(150, 160, 172)},
    }};
    bool ok = true;
    for (const Tab &tab : tabs) {
        QImage image = NewImage(200, 30);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        // Rounded at the top only, so the tab runs into the page below it.
        QPainterPath shape;
        shape.setFillRule(Qt::WindingFill); // the two parts overlap: a union, no hole
        const QRectF rect(0.5, 0.5, 199.0, 30.0);
        shape.addRoundedRect(rect, 6, 6);
        shape.addRect(QRectF(0.5, 15, 199, 15.5));
        painter.setPen(QPen(kFrameBlue, 1.0));
        painter.setBrush(Vertical(rect, tab.top, tab.bottom));
        painter.drawPath(shape.simplified());
        painter.end();
        ok = Save(image, QStringLiteral("UI/Tab/") + QLatin1String(tab.file)) && ok;
    }
    return ok;
}

bool ImageGenerator::WriteResourceList()
{
    QFile file(m_output.filePath(QStringLiteral("Resources.qrc")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&file);
    out << "<RCC>\n    <qresource prefix=\"/QuarvelPCSoftware/Resources\">\n";
    QStringList files = m_written;
    files.sort();
    for (const QString &path : files)
        out << "        <file>" << path << "</file>\n";
    out << "    </qresource>\n</RCC>\n";
    return out.status() == QTextStream::Ok;
}
