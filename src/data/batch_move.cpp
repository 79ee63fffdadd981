#include "batch_move.h"

#include "common/errors.h"

namespace talvora::data {

int BatchMove::execute()
{
    source_.open();
    destination_.open();
    const TableDef* src = source_.schema().table(sourceTable_);
    const TableDef* dst = destination_.schema().table(destinationTable_);
    if (!src || !dst)
        throw Error(QStringLiteral("Пакетное копирование: таблица %1 или %2 не найдена")
                        .arg(sourceTable_, destinationTable_));
    const size_t n = std::min(src->fields.size(), dst->fields.size());

    QStringList srcCols, dstCols, marks;
    for (size_t i = 0; i < n; ++i) {
        srcCols << u'"' + src->fields[i].name + u'"';
        dstCols << u'"' + dst->fields[i].name + u'"';
        marks << QStringLiteral("?%1").arg(i + 1);
    }
    SqliteStatement read = source_.connection().prepare(
        QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY rowid").arg(srcCols.join(u", "), src->name));

    SqliteConnection& out = destination_.connection();
    SqliteTransaction tx(out);
    SqliteStatement write = out.prepare(QStringLiteral("INSERT OR REPLACE INTO \"%1\" (%2) VALUES (%3)")
                                            .arg(dst->name, dstCols.join(u", "), marks.join(u", ")));
    int copied = 0;
    while (read.step()) {
        write.reset();
        for (size_t i = 0; i < n; ++i) {
            QVariant v = valueFromStatement(read, int(i), src->fields[i].type);
            const FieldDef& d = dst->fields[i];
            if (d.type == FieldType::String && d.size > 0 && v.typeId() == QMetaType::QString &&
                v.toString().size() > d.size)
                v = v.toString().left(d.size);
            write.bind(int(i + 1), storageValue(v, d.type));
        }
        write.step();
        ++copied;
    }
    tx.commit();
    return copied;
}

} // namespace talvora::data
