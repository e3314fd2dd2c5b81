#pragma once

#include <QColor>
#include <QDir>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>

class QPainter;

// Paints every image the main window's style sheets name, in one look built
// from the window's own colours, and writes them below an output folder in
// the folder layout of the embedded resources, together with Resources.qrc.
class ImageGenerator
{
public:
    explicit ImageGenerator(const QString &outputDirectory);

    // Writes all images and the resource list; false when a file failed.
    bool GenerateAll();
    QStringList WrittenFiles() const { return m_written; }

private:
    enum class State
    {
        Available,
        Hover,
        Press,
        Invalid
    };
    using Painter = std::function<void(QPainter &, const QRectF &, const QColor &)>;

    bool GenerateHeaderButtons();
    bool GenerateLongButtons();
    bool GenerateToolButtons();
    bool GenerateTabs();
    bool WriteResourceList();

    bool HeaderButton(const QString &name, int width, const Painter &icon, bool closeButton);
    bool ToolButton(const QString &name, const Painter &icon);
    bool Save(const QImage &image, const QString &relativePath);

    static QImage NewImage(int width, int height);
    static QString StateSuffix(State state);
    static QColor IconColour(State state);

    static void PaintInfo(QPainter &painter, const QRectF &area, const QColor &colour);
    static void PaintHelp(QPainter &painter, const QRectF &area, const QColor &colour);
    static void PaintMin(QPainter &painter, const QRectF &area, const QColor &colour);
    static void PaintMax(QPainter &painter, const QRectF &area, const QColor &colour);
    static void PaintClose(QPainter &painter, const QRectF &area, const QColor &colour);
    static void PaintPatient(QPainter &painter, const QRectF &area, const QColor &colour);
    static void PaintTable(QPainter &painter, const QRectF &area, const QColor &colour);
    static void PaintTrend(QPainter &painter, const QRectF &area, const QColor &colour);

    QDir m_output;
    QStringList m_written;
};
