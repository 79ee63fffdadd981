#include "schema.h"

#include "collation.h"

#include "common/errors.h"

namespace talvora::data {

bool isTextType(FieldType t) { return t == FieldType::String || t == FieldType::Memo; }
bool isHeavyType(FieldType t)
{
    return t == FieldType::Memo || t == FieldType::FmtMemo || t == FieldType::Blob;
}
bool isBlobType(FieldType t) { return t == FieldType::FmtMemo || t == FieldType::Blob; }
bool isDateType(FieldType t) { return t == FieldType::Date || t == FieldType::DateTime; }

QString fieldTypeName(FieldType t)
{
    switch (t) {
    case FieldType::AutoInc: return QStringLiteral("AutoInc");
    case FieldType::Integer: return QStringLiteral("Integer");
    case FieldType::Smallint: return QStringLiteral("Smallint");
    case FieldType::String: return QStringLiteral("String");
    case FieldType::Date: return QStringLiteral("Date");
    case FieldType::DateTime: return QStringLiteral("DateTime");
    case FieldType::Boolean: return QStringLiteral("Boolean");
    case FieldType::Currency: return QStringLiteral("Currency");
    case FieldType::Memo: return QStringLiteral("Memo");
    case FieldType::FmtMemo: return QStringLiteral("FmtMemo");
    case FieldType::Blob: return QStringLiteral("Blob");
    case FieldType::Float: return QStringLiteral("Float");
    case FieldType::Unknown: break;
    }
    return QStringLiteral("Unknown");
}

const FieldDef* TableDef::field(const QString& fieldName) const
{
    const int i = fieldIndex(fieldName);
    return i < 0 ? nullptr : &fields[size_t(i)];
}

int TableDef::fieldIndex(const QString& fieldName) const
{
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

const FieldDef& TableDef::key() const
{
    for (const FieldDef& f : fields)
        if (f.type == FieldType::AutoInc)
            return f;
    throw Error(QStringLiteral("У таблицы %1 нет ключа").arg(name));
}

QString stripTableExtension(const QString& name)
{
    if (name.endsWith(QStringLiteral(".db"), Qt::CaseInsensitive))
        return name.left(name.size() - 3);
    return name;
}

const TableDef* Schema::table(const QString& name) const
{
    const QString bare = stripTableExtension(name.trimmed());
    for (const TableDef& t : tables_)
        if (t.name.compare(bare, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

namespace {

QString sqlType(const FieldDef& f)
{
    switch (f.type) {
    case FieldType::AutoInc: return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    case FieldType::Integer: return QStringLiteral("INTEGER");
    case FieldType::Smallint: return QStringLiteral("SMALLINT");
    case FieldType::String: return QStringLiteral("VARCHAR(%1)").arg(f.size);
    case FieldType::Date: return QStringLiteral("DATE");
    case FieldType::DateTime: return QStringLiteral("DATETIME");
    case FieldType::Boolean: return QStringLiteral("BOOLEAN");
    case FieldType::Currency: return QStringLiteral("CURRENCY");
    case FieldType::Memo: return QStringLiteral("TEXT");
    case FieldType::FmtMemo:
    case FieldType::Blob: return QStringLiteral("BLOB");
    case FieldType::Float: return QStringLiteral("REAL");
    case FieldType::Unknown: break;
    }
    return QString();
}

} // namespace

QStringList Schema::createStatements() const
{
    QStringList out;
    for (const TableDef& t : tables_) {
        // Stored order: short values first, texts and documents last, so that
        // reading a row's short values never walks through long texts.
        QStringList cols;
        for (int pass = 0; pass < 3; ++pass)
            for (const FieldDef& f : t.fields) {
                const int rank = isBlobType(f.type) ? 2 : (f.type == FieldType::Memo ? 1 : 0);
                if (rank == pass)
                    cols << QStringLiteral("\"%1\" %2").arg(f.name, sqlType(f));
            }
        out << QStringLiteral("CREATE TABLE \"%1\" (%2)").arg(t.name, cols.join(QStringLiteral(", ")));
        out << indexStatements(t, false);
    }
    return out;
}

QStringList Schema::indexStatements(const TableDef& t, bool ifNotExists)
{
    QStringList out;
    for (const IndexDef& i : t.indexes) {
        QStringList f;
        for (const QString& s : i.fields) {
            const FieldDef* field = t.field(s);
            const bool russian = i.russianOrder && field && isTextType(field->type);
            f << QStringLiteral("\"%1\"%2").arg(
                s, russian ? QStringLiteral(" COLLATE ") + QLatin1String(kRussianCollation) : QString());
        }
        out << QStringLiteral("CREATE INDEX %1\"%2\" ON \"%3\" (%4)")
                   .arg(ifNotExists ? QStringLiteral("IF NOT EXISTS ") : QString(), i.name, t.name,
                        f.join(QStringLiteral(", ")));
    }
    return out;
}

namespace {

using FT = FieldType;

FieldDef F(const char* name, FT type, int size = 0, bool required = false)
{
    return FieldDef{QString::fromLatin1(name), type, size, required};
}
FieldDef S(const char* name, int size, bool required = false)
{
    return F(name, FT::String, size, required);
}

std::vector<FieldDef> errorFields()
{
    return {F("ErrID", FT::AutoInc),    S("ErrName", 255),         F("ErrMem", FT::Memo),
            F("ErrDate", FT::Date),     F("ErrForm", FT::Integer), S("ErrProg", 50),
            F("ErrVers", FT::Integer),  S("ErrOwner", 50),         F("ErrStatus", FT::Integer)};
}

} // namespace

const Schema& workstationSchema()
{
    static const Schema schema({
        TableDef{QStringLiteral("Otdelen"), QStringLiteral("Otdelen.DB"),
                 {F("OID", FT::AutoInc), S("Oboln", 255), S("Ootd", 255), S("Ozav", 100),
                  S("Olech", 100), S("Oord", 100), S("OshTypes", 240), S("OShablons", 240)},
                 {}},
        TableDef{QStringLiteral("SHablonType"), QStringLiteral("SHablonType.db"),
                 {F("ShTID", FT::AutoInc), S("ShTName", 100, true), F("ShTotd", FT::Integer)},
                 {{QStringLiteral("ShTotd_"), {QStringLiteral("ShTotd")}}}},
        TableDef{QStringLiteral("SHablon"), QStringLiteral("SHablon.DB"),
                 {F("ShId", FT::AutoInc), F("ShOtd", FT::Integer, 0, true),
                  F("ShType", FT::Integer, 0, true), S("ShName", 50, true),
                  F("ShRes", FT::FmtMemo, 0, true), F("Sh_min", FT::Integer),
                  F("Sh_max", FT::Integer), F("Sh_def", FT::Integer)},
                 {{QStringLiteral("SHablon_OtdType"), {QStringLiteral("ShOtd"), QStringLiteral("ShType")}}}},
        TableDef{QStringLiteral("VipisType"), QStringLiteral("VipisType.DB"),
                 {F("VTid", FT::AutoInc), S("VTName", 100), F("VTOtd", FT::Integer)},
                 {{QStringLiteral("VTotd_index"), {QStringLiteral("VTOtd")}}}},
        TableDef{QStringLiteral("Pacient"), QStringLiteral("Pacient.DB"),
                 {F("PID", FT::AutoInc),        S("Pname", 50, true),
                  F("Phist", FT::Smallint),     F("Potd", FT::Integer, 0, true),
                  F("PdP", FT::Date, 0, true),  F("PdV", FT::Date),
                  F("PdiaK", FT::Memo),         F("PdiaV", FT::Memo),
                  F("Pst", FT::Integer),        F("PanM", FT::Memo),
                  F("PanV", FT::Memo),          F("PanA", FT::Memo),
                  F("Palat", FT::Smallint),     F("PdiaS", FT::Boolean),
                  F("PLocal", FT::Integer),     F("PanW", FT::Blob),
                  S("Pname_f", 50),             S("Pname_n", 50),
                  S("Pname_o", 50),             S("Pprof", 120),
                  F("Pmale", FT::Smallint),     F("PdB", FT::Date),
                  F("Pjal", FT::Memo),          F("Psomat", FT::Memo),
                  F("Pnst", FT::Memo),          F("Pves", FT::Integer),
                  F("Pwight", FT::Integer),     F("Precom", FT::Memo)},
                 // A department's list in the order it is shown (databases made
                 // before it have "Pacient_List", the same in binary order, as well)
                 {{QStringLiteral("Pacient_Wards"),
                   {QStringLiteral("Potd"), QStringLiteral("Palat"), QStringLiteral("Pname"), QStringLiteral("PdP")},
                   true},
                  // "показать не выписанных": the few patients in the ward, without reading every card
                  {QStringLiteral("Pacient_Discharge"), {QStringLiteral("Potd"), QStringLiteral("PdV")}},
                  // The list's filters by a word of the diagnosis and by age, read in one pass.
                  {QStringLiteral("Pacient_Diagnoses"), {QStringLiteral("Potd"), QStringLiteral("PdiaK"), QStringLiteral("PdiaV")}},
                  {QStringLiteral("Pacient_Ages"), {QStringLiteral("Potd"), QStringLiteral("PdB"), QStringLiteral("PdP")}}}},
        TableDef{QStringLiteral("Vipis"), QStringLiteral("Vipis.DB"),
                 {F("VID", FT::AutoInc), F("Vpac", FT::Integer), F("Vtype", FT::Integer),
                  F("Vdate", FT::DateTime), F("Vres", FT::Blob)},
                 {{QStringLiteral("Vipis_Vpac"), {QStringLiteral("Vpac")}}}},
        TableDef{QStringLiteral("Issled"), QStringLiteral("Issled.DB"),
                 {F("Iid", FT::AutoInc), F("Ipac", FT::Integer), F("Idate", FT::DateTime),
                  F("Itype", FT::Smallint), S("Iname", 50), F("Ires", FT::FmtMemo)},
                 {{QStringLiteral("Issled_Ipac"), {QStringLiteral("Ipac")}}}},
        TableDef{QStringLiteral("TreatType"), QStringLiteral("TreatType.DB"),
                 {F("TrTid", FT::AutoInc), S("TrTname", 250), F("TrTself", FT::Integer)},
                 {}},
        TableDef{QStringLiteral("Treat"), QStringLiteral("Treat.DB"),
                 {F("Tid", FT::AutoInc), F("TrType", FT::Integer), S("Tname_r", 25, true),
                  S("Tname_l", 25), F("Tdose", FT::Integer), F("Tkratn", FT::Integer),
                  F("Tprim", FT::Memo), F("Tprice", FT::Currency)},
                 {{QStringLiteral("TrType_ind"), {QStringLiteral("TrType")}}}},
        TableDef{QStringLiteral("Nazn"), QStringLiteral("Nazn.DB"),
                 {F("NID", FT::AutoInc), F("Npac", FT::Integer, 0, true),
                  F("Ntr", FT::Integer, 0, true), S("Nrej", 255), F("Ndate", FT::Date),
                  S("Nkurs", 120), S("Nname", 50), S("NmgS", 25), S("NmgKgS", 25)},
                 {{QStringLiteral("NaznPac"), {QStringLiteral("Npac")}}}},
        TableDef{QStringLiteral("Fish"), QStringLiteral("Fish.db"),
                 {F("FID", FT::AutoInc), F("Fotd", FT::Integer), S("Fname", 100),
                  F("FType", FT::Integer), F("Fres", FT::FmtMemo), F("Fmin", FT::Integer),
                  F("Fmax", FT::Integer), F("Fmem", FT::Memo), F("Fmale", FT::Smallint)},
                 {{QStringLiteral("Fish_OtdType"), {QStringLiteral("Fotd"), QStringLiteral("FType")}}}},
        TableDef{QStringLiteral("Errors"), QStringLiteral("Errors.db"), errorFields(), {}},
    });
    return schema;
}

const Schema& errorSchema()
{
    static const Schema schema({
        TableDef{QStringLiteral("Errors"), QStringLiteral("Errors.DB"), errorFields(), {}},
    });
    return schema;
}

} // namespace talvora::data
