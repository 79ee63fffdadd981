// Assembling a discharge summary: a two-page template with every field, a
// header and a signature pulled in as nested templates, the anamnesis
// document, two groups holding ten investigation documents between them
// (each a heading, a table and a picture) and a treatment scheme of eight
// prescriptions. Once into a hidden view, once into a shown one; shown, the
// time includes laying the assembled document out on screen once at the end.

#include "data/data_module.h"
#include "db_tool.h"
#include "templates/document_assembly.h"
#include "word/document.h"
#include "word/document_io.h"
#include "word/view/document_view.h"
#include "word/view/marker_text_box.h"

#include <QApplication>
#include <QImage>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextTable>

#include <benchmark/benchmark.h>

#include <memory>

using namespace talvora;

namespace {

QTextCharFormat plain()
{
    QTextCharFormat f;
    f.setFontFamilies({QStringLiteral("Times New Roman")});
    f.setFontPointSize(12);
    return f;
}

QByteArray paragraphs(const QStringList& lines)
{
    word::Document doc;
    QTextCursor c(&doc.text());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            c.insertBlock();
        c.insertText(lines[i], plain());
    }
    return word::blobFromDocument(doc);
}

QByteArray investigation(int n)
{
    word::Document doc;
    QTextCursor c(&doc.text());
    QTextCharFormat bold = plain();
    bold.setFontWeight(QFont::Bold);
    c.insertText(QStringLiteral("Исследование %1 от 10.03.2004").arg(n), bold);
    c.insertBlock();
    QTextTable* t = c.insertTable(6, 3);
    for (int r = 0; r < 6; ++r)
        for (int k = 0; k < 3; ++k)
            t->cellAt(r, k).firstCursorPosition().insertText(
                r == 0 ? QStringList{"Показатель", "Значение", "Норма"}[k] : QStringLiteral("%1.%2").arg(r).arg(k), plain());
    c = t->lastCursorPosition();
    c.movePosition(QTextCursor::NextBlock);
    QImage img(120, 80, QImage::Format_RGB32);
    img.fill(QColor::fromHsv(n * 30 % 360, 200, 200));
    const QString name = QStringLiteral("снимок-%1").arg(n);
    doc.text().addResource(QTextDocument::ImageResource, QUrl(name), img);
    QTextImageFormat f;
    f.setName(name);
    f.setWidth(90);
    f.setHeight(60);
    c.insertImage(f);
    c.insertBlock();
    c.insertText(QStringLiteral("Заключение: без патологии. ").repeated(4), plain());
    return word::blobFromDocument(doc);
}

struct Department {
    QTemporaryDir dir;
    std::unique_ptr<data::TDM> dm;
    QByteArray templ;

    Department()
    {
        data::AliasResolver aliases;
        aliases.setDirectory(QStringLiteral("pacientdata"), dir.path() + QStringLiteral("/pacientdata"));
        aliases.setDirectory(QStringLiteral("Errors"), dir.path() + QStringLiteral("/errors"));
        tools::initDatabases(aliases, false);
        data::Database db(QStringLiteral("setup"), QStringLiteral("pacientdata"), QStringLiteral("PPP"),
                          data::workstationSchema(), aliases);
        db.open();
        auto sql = [&db](const QString& s, std::initializer_list<std::pair<const char*, QVariant>> values = {}) {
            data::Params p;
            for (const auto& [n, v] : values)
                p.set(QString::fromLatin1(n), v);
            db.execute(s, p);
        };
        sql(QStringLiteral("insert into Otdelen (Oboln, Ootd) values (\"ГКБ №1\", \"Неврология\")"));
        for (const char* type : {"Выписки", "Анализы", "Инструментальные"})
            sql(QStringLiteral("insert into SHablonType (ShTName, ShTotd) values (:n, 1)"), {{"n", QString::fromUtf8(type)}});
        // Templates 1 and 2: the header and the signature.
        sql(QStringLiteral("insert into SHablon (ShOtd, ShType, ShName, ShRes) values (1, 1, \"Шапка\", :r)"),
            {{"r", paragraphs({"ГКБ №1. Неврологическое отделение", "История болезни № <!fld_8>, палата <!fld_9>"})}});
        sql(QStringLiteral("insert into SHablon (ShOtd, ShType, ShName, ShRes) values (1, 1, \"Подпись\", :r)"),
            {{"r", paragraphs({"Лечащий врач ____________", "Заведующий отделением ____________"})}});
        sql(QStringLiteral("insert into pacient (PName, Potd, PdP, PdV, PdB, Pname_f, Pname_n, Pname_o, Pprof, Phist, "
                           "Palat, PdiaK, PdiaV, Pjal, PanW, Psomat, Pnst, Pves, Precom, PanV, Pmale) values "
                           "(\"Иванов И.И.\", 1, \"01.03.2004\", \"15.03.2004\", \"05.03.1965\", \"Иванов\", \"Иван\", "
                           "\"Иванович\", \"инженер\", 1234, 7, :k, :v, :j, :aw, :s, :n, 82, :rc, :cr, 1)"),
            {{"k", QStringLiteral("Ишемический инсульт в бассейне левой средней мозговой артерии")},
             {"v", QStringLiteral("Гипертоническая болезнь III ст.")},
             {"j", QStringLiteral("головная боль, слабость в правых конечностях. ").repeated(3)},
             {"aw", paragraphs(QStringList(12, QStringLiteral("Со слов пациента, болеет в течение трёх лет, ухудшение накануне.")))},
             {"s", QStringLiteral("Состояние средней тяжести. ").repeated(10)},
             {"n", QStringLiteral("Сознание ясное. Правосторонний гемипарез. ").repeated(10)},
             {"rc", QStringLiteral("Наблюдение невролога по месту жительства. ").repeated(4)},
             {"cr", QStringLiteral("Проведено лечение. ").repeated(4)}});
        for (int i = 1; i <= 10; ++i)
            sql(QStringLiteral("insert into Issled (Ipac, Idate, Itype, Iname, Ires) values (1, \"10.03.2004\", :t, :n, :r)"),
                {{"t", i <= 6 ? 2 : 3}, {"n", QStringLiteral("Исследование %1").arg(i)}, {"r", investigation(i)}});
        for (int i = 1; i <= 8; ++i)
            sql(QStringLiteral("insert into Nazn (Npac, Ntr, Nname, Nrej, NmgKgS, Nkurs) values (1, 1, :n, :r, :d, :c)"),
                {{"n", QStringLiteral("Препарат %1").arg(i)}, {"r", QStringLiteral("по 1 таб. 3 раза в день")},
                 {"d", i % 2 ? QString() : QStringLiteral("%1 мг/кг").arg(i)}, {"c", QStringLiteral("10 дней")}});

        dm = std::make_unique<data::TDM>(aliases);
        dm->Pac_q->open();
        templ = paragraphs({
            "<!shabl_1>",
            "ВЫПИСНОЙ ЭПИКРИЗ",
            "Ф.И.О.: <!fld_1> <!fld_2> <!fld_3>, <!fld_5>, возраст <!fld_10>, профессия: <!fld_4>",
            "Находился на лечении с <!fld_6> по <!fld_7> (<!fld_11>), вес <!fld_18> кг",
            "Диагноз клинический: <!fld_12>",
            "Сопутствующий: <!fld_13>",
            "Жалобы: <!fld_14>",
            "Анамнез: <!fld_15>",
            "Соматический статус: <!fld_16>",
            "Неврологический статус: <!fld_17>",
            "Лабораторные исследования:",
            "<!grp_2>",
            "Инструментальные исследования:",
            "<!grp_3>",
            "Лечение:",
            "<!trt_2>",
            "Курс лечения: <!fld_32>",
            "Рекомендации: <!fld_31>",
            "<!shabl_2>",
        });
    }
};

Department& department()
{
    static Department d;
    return d;
}

void BM_AssembleDischargeSummary(benchmark::State& state)
{
    Department& d = department();
    templates::DocumentAssembly assembly(*d.dm);
    word::DocumentView target, aux;
    word::MarkerTextBox box;
    QWidget panel;
    QProgressBar bar(&panel);
    target.resize(1000, 800);
    if (state.range(0))
        target.show();
    int length = 0;
    for (auto _ : state) {
        state.PauseTiming();
        target.loadFromBlob(d.templ);
        QCoreApplication::processEvents();
        state.ResumeTiming();
        assembly.AssembleDocument(target, aux, box, {&panel, &bar});
        // A shown view then lays the assembled document out once.
        QCoreApplication::processEvents();
        length = target.textDocument().characterCount();
    }
    state.counters["characters"] = length;
    int tables = 0;
    for (QTextFrame* f : target.textDocument().rootFrame()->childFrames())
        tables += qobject_cast<QTextTable*>(f) ? 1 : 0;
    if (tables != 10 || target.textDocument().find(QStringLiteral("<!")).isNull() == false)
        state.SkipWithError("the document was not assembled whole");
}
BENCHMARK(BM_AssembleDischargeSummary)->Arg(0)->Arg(1)->ArgName("shown")->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
