// render-art: renders one SVG picture to a PNG of the SVG's own size (or a given square size), for
// the pictures under Pics and the application icon.
// Runs headless (QT_QPA_PLATFORM=offscreen) at build time; see art/README.md.
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>
#include <QLatin1String>
#include <QPainter>
#include <QSaveFile>
#include <QString>
#include <QSvgRenderer>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* usage =
    "Usage: render-art [--size N] INPUT.svg OUTPUT.png\n"
    "Renders INPUT.svg at its own width and height (pixels) on a transparent picture, antialiased,\n"
    "and writes it as OUTPUT.png. Any SVG construct the renderer cannot draw is an error, so that\n"
    "a picture never comes out silently different from its source.\n"
    "--size N renders a square SVG at N x N pixels instead (the icon sizes of a theme).\n";

// Counts the SVG module's warnings (unknown elements, unsupported attributes, bad paths): each means
// the picture would not look as written.
int svgWarnings = 0;
QtMessageHandler defaultHandler = nullptr;

void countSvgWarnings(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg && context.category != nullptr &&
        std::strncmp(context.category, "qt.svg", 6) == 0) {
        ++svgWarnings;
    }
    // A build has no session, hence no runtime folder; nothing here needs one, so say nothing.
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"))) {
        return;
    }
    defaultHandler(type, context, message);
}

int fail(const QString& message) {
    std::fprintf(stderr, "render-art: %s\n", qPrintable(message));
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usage, stdout);
        return 0;
    }
    int scaledSide = 0;  // 0: the SVG's own size
    if (argc == 5 && std::strcmp(argv[1], "--size") == 0) {
        char* end = nullptr;
        const long side = std::strtol(argv[2], &end, 10);
        if (*end != '\0' || side < 1 || side > 4096) {
            std::fputs(usage, stderr);
            return 2;
        }
        scaledSide = static_cast<int>(side);
        argv[2] = argv[0];
        argv += 2;
        argc -= 2;
    }
    if (argc != 3) {
        std::fputs(usage, stderr);
        return 2;
    }
    // No display is needed to render into an image; the build runs without one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    defaultHandler = qInstallMessageHandler(countSvgWarnings);
    QGuiApplication app(argc, argv);

    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);

    QSvgRenderer renderer;
    if (!renderer.load(input) || !renderer.isValid()) {
        return fail(QStringLiteral("%1: not a readable SVG picture").arg(input));
    }
    QSize size = renderer.defaultSize();
    if (size.isEmpty() || size.width() > 4096 || size.height() > 4096) {
        return fail(QStringLiteral("%1: width and height must be given, 1 to 4096 pixels").arg(input));
    }
    if (scaledSide > 0) {
        if (size.width() != size.height()) return fail(QStringLiteral("%1: --size needs a square picture").arg(input));
        size = QSize(scaledSide, scaledSide);
    }

    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    }
    if (svgWarnings > 0) {
        return fail(QStringLiteral("%1: %2 SVG warning(s), see above").arg(input).arg(svgWarnings));
    }

    // Written whole or not at all, so that an interrupted build never leaves half a picture.
    QSaveFile file(output);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        return fail(QStringLiteral("%1: cannot write: %2").arg(output, file.errorString()));
    }
    return 0;
}
