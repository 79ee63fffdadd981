#pragma once
// A workstation database with two departments, template types, templates,
// patients, investigations and prescriptions written the way the windows
// write them; the data module over it; the views of a window that assembles
// (target, auxiliary view, hidden marker box, progress panel); scripted
// dialogs. Documents are Word 97 documents built in code and written by the
// project's writer, or fixtures written by LibreOffice.

#include "common/program_state.h"
#include "data/data_module.h"
#include "temp_databases.h"
#include "test_support.h"
#include "templates/document_assembly.h"
#include "templates/template_operations.h"
#include "ui/scripted_dialogs.h"
#include "word/document.h"
#include "word/document_io.h"
#include "word/document_text.h"
#include "word/view/document_view.h"
#include "word/view/marker_text_box.h"
#include "word/view/transfer_buffer.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProgressBar>
#include <QTextCursor>
#include <QTextTable>
#include <QWidget>
#include <gtest/gtest.h>

#include <memory>

namespace talvora::test {

using word::test::libreOfficeConversions;
using word::test::readData;

// --- documents

inline QTextCharFormat plainFormat()
{
    QTextCharFormat f;
    f.setFontFamilies({QStringLiteral("Times New Roman")});
    f.setFontPointSize(12);
    return f;
}

// Writes `text` at the cursor: "*bold*" and "~italic~" pieces formatted.
inline void writeRuns(QTextCursor& c, const QString& text)
{
    QTextCharFormat f = plainFormat();
    QString piece;
    auto flush = [&] {
        if (!piece.isEmpty())
            c.insertText(piece, f);
        piece.clear();
    };
    for (QChar ch : text) {
        if (ch == u'*') {
            flush();
            f.setFontWeight(f.fontWeight() == QFont::Bold ? QFont::Normal : QFont::Bold);
        } else if (ch == u'~') {
            flush();
            f.setFontItalic(!f.fontItalic());
        } else {
            piece += ch;
        }
    }
    flush();
}

inline void writeCell(QTextTable* table, int row, int column, const QString& text)
{
    QTextCursor c = table->cellAt(row, column).firstCursorPosition();
    writeRuns(c, text);
}

// A document of the given paragraphs (see writeRuns).
inline word::Document docOf(const QStringList& paragraphs)
{
    word::Document doc;
    QTextCursor c(&doc.text());
    for (qsizetype i = 0; i < paragraphs.size(); ++i) {
        if (i > 0)
            c.insertBlock();
        writeRuns(c, paragraphs[i]);
    }
    return doc;
}

inline QByteArray blobOf(const QStringList& paragraphs)
{
    return word::blobFromDocument(docOf(paragraphs));
}

inline QImage testPicture(int w, int h, QColor color)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(color);
    QPainter p(&img);
    p.fillRect(0, 0, w / 2, h / 2, Qt::black);
    return img;
}

// An investigation's result: a heading, a 2 × 2 table of values and a picture.
inline QByteArray investigationBlob(const QString& title, QColor color = Qt::red)
{
    word::Document doc;
    QTextCursor c(&doc.text());
    writeRuns(c, QStringLiteral("*%1*").arg(title));
    c.insertBlock();
    QTextTable* table = c.insertTable(2, 2);
    const QStringList cells{QStringLiteral("Показатель"), QStringLiteral("Значение"), title + QStringLiteral(": гемоглобин"),
                            QStringLiteral("135")};
    for (int i = 0; i < 4; ++i)
        writeCell(table, i / 2, i % 2, cells[i]);
    c = table->lastCursorPosition();
    c.movePosition(QTextCursor::NextBlock);
    const QString name = QStringLiteral("picture-") + title;
    doc.text().addResource(QTextDocument::ImageResource, QUrl(name), testPicture(24, 16, color));
    QTextImageFormat image;
    image.setName(name);
    image.setWidth(36);
    image.setHeight(24);
    c.insertImage(image);
    writeRuns(c, QStringLiteral(" снимок"));
    return word::blobFromDocument(doc);
}

inline int countTables(const QTextDocument& doc)
{
    int n = 0;
    for (QTextFrame* f : doc.rootFrame()->childFrames())
        if (qobject_cast<QTextTable*>(f))
            ++n;
    return n;
}

inline int countImages(const QTextDocument& doc)
{
    int n = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                ++n;
    return n;
}

// --- the database, the data module and the views

class AssemblyData : public ::testing::Test {
protected:
    AssemblyData()
    {
        programSwitches() = {};
        beforeAssemblyBuffer().reset();
        word::transferBuffer().clear();
        sql("insert into Otdelen (Oboln, Ootd) values (\"ГКБ №1\", \"Неврология\")");
        sql("insert into Otdelen (Oboln, Ootd) values (\"ГКБ №1\", \"Кардиология\")");
        bar.setRange(0, 100);
    }

    ~AssemblyData() override { beforeAssemblyBuffer().reset(); }

    int sql(const char* statement, std::initializer_list<std::pair<const char*, QVariant>> values = {})
    {
        data::Params p;
        for (const auto& [n, v] : values)
            p.set(QString::fromLatin1(n), v);
        return dbs.sql(QString::fromUtf8(statement), p);
    }

    int lastKey(const char* table, const char* key)
    {
        return dbs.scalar(QStringLiteral("select max(%1) from %2").arg(QString::fromLatin1(key), QString::fromLatin1(table))).toInt();
    }

    int addType(int department, const QString& name)
    {
        sql("insert into SHablonType (ShTName, ShTotd) values (:n, :o)", {{"n", name}, {"o", department}});
        return lastKey("SHablonType", "ShTID");
    }

    int addTemplate(int department, int type, const QString& name, const QByteArray& blob)
    {
        sql("insert into SHablon (ShOtd, ShType, ShName, ShRes) values (:o, :t, :n, :r)",
            {{"o", department}, {"t", type}, {"n", name}, {"r", blob}});
        return lastKey("SHablon", "ShId");
    }

    struct Patient {
        QString surname = QStringLiteral("Иванов");
        QString firstName = QStringLiteral("Иван");
        QString patronymic = QStringLiteral("Иванович");
        QString profession = QStringLiteral("инженер");
        QString birth = QStringLiteral("05.03.1965");
        QString admission = QStringLiteral("01.03.2004");
        QString discharge = QStringLiteral("15.03.2004");
        QVariant history = 1234;
        QVariant ward = 7;
        QString diagnosis = QStringLiteral("Ишемический инсульт");
        QString concomitant = QStringLiteral("Гипертоническая болезнь");
        QString complaints = QStringLiteral("головная боль");
        QString anamnesisText = QStringLiteral("болеет 3 года");
        QByteArray anamnesisDocument;
        QString somatic = QStringLiteral("без особенностей");
        QString neuro = QStringLiteral("сознание ясное");
        QVariant weight = 82;
        QString recommendations = QStringLiteral("наблюдение невролога");
        QString course = QStringLiteral("курс лечения проведён");
    };

    int addPatient() { return addPatient(Patient()); }
    int addPatient(const Patient& p, int department = 1)
    {
        sql("insert into pacient (PName, Potd, PdP, PdV, PdB, Pname_f, Pname_n, Pname_o, Pprof, Phist, Palat, PdiaK, "
            "PdiaV, Pjal, PanM, PanW, Psomat, Pnst, Pves, Precom, PanV, Pmale) values (:pn, :o, :dp, :dv, :db, :f, :n, "
            ":po, :pr, :h, :w, :k, :v, :j, :am, :aw, :s, :ns, :wt, :rc, :cr, 1)",
            {{"pn", p.surname + QStringLiteral(" И.И.")}, {"o", department}, {"dp", p.admission}, {"dv", p.discharge},
             {"db", p.birth}, {"f", p.surname}, {"n", p.firstName}, {"po", p.patronymic}, {"pr", p.profession},
             {"h", p.history}, {"w", p.ward}, {"k", p.diagnosis}, {"v", p.concomitant}, {"j", p.complaints},
             {"am", p.anamnesisText}, {"aw", p.anamnesisDocument}, {"s", p.somatic}, {"ns", p.neuro},
             {"wt", p.weight}, {"rc", p.recommendations}, {"cr", p.course}});
        return lastKey("pacient", "PID");
    }

    int addInvestigation(int patient, int type, const QString& name, const QByteArray& result)
    {
        sql("insert into Issled (Ipac, Idate, Itype, Iname, Ires) values (:p, \"10.03.2004\", :t, :n, :r)",
            {{"p", patient}, {"t", type}, {"n", name}, {"r", result}});
        return lastKey("Issled", "Iid");
    }

    void addPrescription(int patient, const QString& name, const QString& regimen, const QString& dose,
                         const QString& course)
    {
        sql("insert into Nazn (Npac, Ntr, Nname, Nrej, NmgKgS, Nkurs) values (:p, 1, :n, :r, :d, :c)",
            {{"p", patient}, {"n", name}, {"r", regimen}, {"d", dose}, {"c", course}});
    }

    // The data module over the rows written so far, the patient selected.
    void start(int patient = 0)
    {
        dm = std::make_unique<data::TDM>(dbs.aliases());
        operations = std::make_unique<templates::TemplateOperations>(*dm);
        assembly = std::make_unique<templates::DocumentAssembly>(*dm);
        dm->Pac_q->open();
        if (patient)
            select(patient);
    }

    void select(int patient) { ASSERT_TRUE(dm->Pac_q->locate(QStringLiteral("pID"), patient)); }

    void assemble(const QByteArray& templ)
    {
        target.loadFromBlob(templ);
        assembly->AssembleDocument(target, aux, box, {&panel, &bar});
    }

    // The target's main text, one paragraph a line.
    QString text() const
    {
        const word::Document doc = word::documentFromBlob(target.saveToBlob());
        return word::plainText(doc);
    }

    // The text of a document of one paragraph, without its line end.
    QString line() const { return text().chopped(1); }

    TempDatabases dbs;
    ScriptedDialogs dialogs;
    std::unique_ptr<data::TDM> dm;
    std::unique_ptr<templates::TemplateOperations> operations;
    std::unique_ptr<templates::DocumentAssembly> assembly;
    QWidget panel;
    QProgressBar bar{&panel};
    word::DocumentView target;
    word::DocumentView aux;
    word::MarkerTextBox box;
};

} // namespace talvora::test
