// Renders text with ANSI colour sequences (tmux capture-pane -e -p) to a
// PNG: one monospace cell per character, the 16 standard colours, the 256
// colour cube and direct colours, bold and reverse video.
// Usage: termshot COLUMNS ROWS OUTPUT.png < screen.txt
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>

#include <cstdio>
#include <vector>

namespace {

struct Cell {
    QChar ch = ' ';
    QColor fg, bg;
    bool bold = false;
};

const QColor kDefaultFg(0xd0, 0xd0, 0xd0);
const QColor kDefaultBg(0x1c, 0x1c, 0x1c);

QColor Palette(int index) {
    static const QColor base[16] = {
        {0x1c, 0x1c, 0x1c}, {0xcd, 0x31, 0x31}, {0x0d, 0xbc, 0x79}, {0xe5, 0xe5, 0x10},
        {0x24, 0x72, 0xc8}, {0xbc, 0x3f, 0xbc}, {0x11, 0xa8, 0xcd}, {0xe5, 0xe5, 0xe5},
        {0x66, 0x66, 0x66}, {0xf1, 0x4c, 0x4c}, {0x23, 0xd1, 0x8b}, {0xf5, 0xf5, 0x43},
        {0x3b, 0x8e, 0xea}, {0xd6, 0x70, 0xd6}, {0x29, 0xb8, 0xdb}, {0xff, 0xff, 0xff}};
    if (index < 16) {
        return base[index];
    }
    if (index < 232) {
        const int i = index - 16;
        const auto level = [](int v) { return v == 0 ? 0 : 55 + 40 * v; };
        return QColor(level(i / 36), level(i / 6 % 6), level(i % 6));
    }
    const int grey = 8 + 10 * (index - 232);
    return QColor(grey, grey, grey);
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 4) {
        std::fputs("Usage: termshot COLUMNS ROWS OUTPUT.png < screen.txt\n", stderr);
        return 2;
    }
    const int columns = QString(argv[1]).toInt();
    const int rows = QString(argv[2]).toInt();
    std::vector<std::vector<Cell>> screen(
        rows, std::vector<Cell>(columns, Cell{' ', kDefaultFg, kDefaultBg}));

    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly)) {
        return 1;
    }
    const QString text = QString::fromUtf8(input.readAll());
    QColor fg = kDefaultFg, bg = kDefaultBg;
    bool bold = false, reverse = false;
    int row = 0, column = 0;
    for (qsizetype i = 0; i < text.size() && row < rows; ++i) {
        const QChar c = text[i];
        if (c == '\x1b' && i + 1 < text.size() && text[i + 1] == '[') {
            const qsizetype end = text.indexOf('m', i + 2);
            if (end < 0) {
                break;
            }
            const QStringList parts = text.mid(i + 2, end - i - 2).split(';');
            for (qsizetype p = 0; p < parts.size(); ++p) {
                const int code = parts[p].isEmpty() ? 0 : parts[p].toInt();
                if (code == 0) {
                    fg = kDefaultFg, bg = kDefaultBg, bold = false, reverse = false;
                } else if (code == 1) {
                    bold = true;
                } else if (code == 7) {
                    reverse = true;
                } else if (code == 22) {
                    bold = false;
                } else if (code == 27) {
                    reverse = false;
                } else if (code >= 30 && code <= 37) {
                    fg = Palette(code - 30);
                } else if (code >= 90 && code <= 97) {
                    fg = Palette(code - 90 + 8);
                } else if (code >= 40 && code <= 47) {
                    bg = Palette(code - 40);
                } else if (code >= 100 && code <= 107) {
                    bg = Palette(code - 100 + 8);
                } else if (code == 39) {
                    fg = kDefaultFg;
                } else if (code == 49) {
                    bg = kDefaultBg;
                } else if ((code == 38 || code == 48) && p + 1 < parts.size()) {
                    QColor color;
                    if (parts[p + 1] == "5" && p + 2 < parts.size()) {
                        color = Palette(parts[p + 2].toInt());
                        p += 2;
                    } else if (parts[p + 1] == "2" && p + 4 < parts.size()) {
                        color = QColor(parts[p + 2].toInt(), parts[p + 3].toInt(),
                                       parts[p + 4].toInt());
                        p += 4;
                    }
                    (code == 38 ? fg : bg) = color;
                }
            }
            i = end;
            continue;
        }
        if (c == '\n') {
            ++row;
            column = 0;
            continue;
        }
        if (column < columns) {
            screen[row][column] = Cell{c, reverse ? bg : fg, reverse ? fg : bg, bold};
            ++column;
        }
    }

    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamily("DejaVu Sans Mono");
    font.setPixelSize(15);
    const QFontMetrics metrics(font);
    const int cellWidth = metrics.horizontalAdvance('M');
    const int cellHeight = metrics.height();
    QImage image(columns * cellWidth, rows * cellHeight, QImage::Format_RGB32);
    image.fill(kDefaultBg);
    QPainter painter(&image);
    for (int r = 0; r < rows; ++r) {
        for (int col = 0; col < columns; ++col) {
            const Cell& cell = screen[r][col];
            const QRect rect(col * cellWidth, r * cellHeight, cellWidth, cellHeight);
            painter.fillRect(rect, cell.bg);
            QFont cellFont = font;
            cellFont.setBold(cell.bold);
            painter.setFont(cellFont);
            painter.setPen(cell.fg);
            painter.drawText(rect.x(), rect.y() + metrics.ascent(), QString(cell.ch));
        }
    }
    painter.end();
    return image.save(argv[3]) ? 0 : 1;
}
