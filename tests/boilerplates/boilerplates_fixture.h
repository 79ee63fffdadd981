#pragma once
// A workstation database with two departments and a patient, helpers for
// boilerplates, the data module over it and scripted dialogs.

#include "common/program_state.h"
#include "data/data_module.h"
#include "temp_databases.h"
#include "ui/scripted_dialogs.h"
#include "word/document.h"
#include "word/document_io.h"
#include "word/document_text.h"

#include <QTextCursor>

#include <gtest/gtest.h>

namespace talvora::test {

class BoilerplateData : public ::testing::Test {
protected:
    BoilerplateData()
    {
        programSwitches() = {};
        dbs.sql(QStringLiteral("insert into Otdelen (Oboln, Ootd) values (\"ГКБ №1\", \"Неврология\")"));
        dbs.sql(QStringLiteral("insert into Otdelen (Oboln, Ootd) values (\"ГКБ №1\", \"Кардиология\")"));
        department = lastKey(QStringLiteral("OID"), QStringLiteral("Otdelen")) - 1;
    }

    int lastKey(const QString& key, const QString& table)
    {
        return dbs.scalar(QStringLiteral("select max(%1) from %2").arg(key, table)).toInt();
    }

    // A boilerplate of the department; its key. A null bound stays empty.
    int addBoilerplate(int kind, const QString& name, const QVariant& min, const QVariant& max, int sex,
                       const QString& text, int otd = 0)
    {
        data::Params p;
        p.set(QStringLiteral("n"), name);
        p.set(QStringLiteral("lo"), min);
        p.set(QStringLiteral("hi"), max);
        p.set(QStringLiteral("t"), text);
        p.set(QStringLiteral("r"), text.isEmpty() ? QVariant() : QVariant(blobOf(text)));
        dbs.sql(QStringLiteral("insert into Fish (Fotd, FType, Fname, Fmin, Fmax, Fmale, Fmem, Fres) "
                               "values (%1, %2, :n, :lo, :hi, %3, :t, :r)")
                    .arg(otd ? otd : department)
                    .arg(kind)
                    .arg(sex),
                p);
        return lastKey(QStringLiteral("FID"), QStringLiteral("Fish"));
    }

    // A patient of the department; its key.
    int addPatient(const QString& surname, const QString& birth, int sex, const QString& admission = QStringLiteral("01.02.2024"))
    {
        data::Params p;
        p.set(QStringLiteral("n"), surname + QStringLiteral(" А.П."));
        p.set(QStringLiteral("f"), surname);
        dbs.sql(QStringLiteral("insert into pacient (Pname, Pname_f, Pname_n, Pname_o, Potd, PdP, PdV, PdB, Phist, Pmale) "
                               "values (:n, :f, \"Анна\", \"Петровна\", %1, \"%2\", \"30.12.1899\", \"%3\", 17, %4)")
                    .arg(department)
                    .arg(admission, birth)
                    .arg(sex),
                p);
        return lastKey(QStringLiteral("PID"), QStringLiteral("pacient"));
    }

    static QByteArray blobOf(const QString& text)
    {
        word::Document doc;
        QTextCursor(&doc.text()).insertText(text);
        return word::blobFromDocument(doc);
    }

    static QString textOf(const QByteArray& blob)
    {
        return word::plainText(word::documentFromBlob(blob)).trimmed();
    }

    int count(const QString& statement) { return dbs.scalar(statement).toInt(); }

    TempDatabases dbs;
    ScriptedDialogs dialogs;
    int department = 0;
};

} // namespace talvora::test
