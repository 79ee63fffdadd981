#pragma once
// What the crash writer stores in generation g, so that the test can tell a
// whole write from a torn one by looking at the database alone.
//
//   card g      № ИБ is g, the ward wardOf(g), and every text of the card
//               begins with "g<g> ";
//   document g  a new document of the patient whose text is documentText(g);
//   batch g     kBatchSize prescriptions whose regimens are "g<g> #1" … "g<g> #K".

#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace talvora::test::durability {

inline constexpr int kBatchSize = 6;

// The database folders under the writer's scratch folder.
inline QString workstationFolder(const QString& root) { return root + QStringLiteral("/pacientdata"); }
inline QString errorsFolder(const QString& root) { return root + QStringLiteral("/errors"); }

// A text of the card: the generation first, then enough words that the
// patient row spills over several database pages.
inline QString cardText(const char* field, qint64 g)
{
    QString text = QStringLiteral("g%1 %2:").arg(g).arg(QLatin1String(field));
    const int words = 40 + int(g * 13 % 400);
    for (int i = 0; i < words; ++i)
        text += QStringLiteral(" слово%1").arg(i);
    return text;
}

// The long texts the card save writes from cardText, by column.
inline const char* const kCardTexts[] = {"PdiaK", "PdiaV", "Pjal", "Psomat", "PanM", "Pnst", "PanV", "Precom"};

// The profession (a short column) and the ward.
inline QString professionText(qint64 g) { return QStringLiteral("g%1 врач").arg(g); }
inline qint64 wardOf(qint64 g) { return g % 97 + 1; }

// № ИБ holds the generation; it is a small integer column.
inline constexpr qint64 kLastGeneration = 32000;

// A document of a size that changes from one generation to the next (from
// a few to a few dozen database pages), one paragraph a line.
inline QString documentText(qint64 g)
{
    QStringList lines{QStringLiteral("Выписка g%1").arg(g)};
    const int count = 20 + int(g * 37 % 600);
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("Строка %1 документа g%2: состояние удовлетворительное.").arg(i).arg(g);
    return lines.join(u'\n');
}

inline QString regimenText(qint64 g, int i) { return QStringLiteral("g%1 #%2").arg(g).arg(i); }

// The generation a text begins with ("g123 …" gives 123); -1 when none.
inline qint64 generationOf(const QString& text)
{
    static const QRegularExpression head(QStringLiteral("^(?:Выписка )?g(\\d+)(?:[ :\\n]|$)"));
    const QRegularExpressionMatch m = head.match(text);
    return m.hasMatch() ? m.captured(1).toLongLong() : -1;
}

} // namespace talvora::test::durability
