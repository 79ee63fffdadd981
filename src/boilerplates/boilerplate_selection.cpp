#include "boilerplate_selection.h"

#include "data/data_module.h"

namespace talvora::boilerplates {

QString kindCaption(int kind)
{
    switch (kind) {
    case Anamnesis:
        return QStringLiteral("Анамнезы");
    case NeuroStatus:
        return QStringLiteral("Невростатусы");
    case SomaticStatus:
        return QStringLiteral("Соматич. статусы");
    case Recommendations:
        return QStringLiteral("Рекомендации");
    case TreatmentComments:
        return QStringLiteral("коментарии к лечению");
    default:
        return {};
    }
}

QStringList selectionStatement(bool withSex)
{
    QString where = QStringLiteral("WHERE (Fotd = :otd) AND  (FType = :type)  AND ( (Fmin < :min) OR (Fmin =:min))  "
                                   "AND  ( (Fmax > :max) OR (Fmax =:max) )");
    if (withSex)
        where += QStringLiteral("AND ((Fmale =:male ) or (Fmale =0) or (Fmale=3))");
    return {QStringLiteral("SELECT FID, Fotd, FType, FName, Fres, Fmin, Fmax, Fmem, Fmale "),
            QStringLiteral(" FROM Fish "), where};
}

bool SelectBoilerplates(data::TDM& dm, int kind, int age, const QVariant& sex)
{
    data::QueryDataset& q = *dm.Fish_q;
    const int s = sex.isNull() ? 0 : sex.toInt();
    const bool bySex = s == 1 || s == 2;
    q.close();
    q.setSql(selectionStatement(bySex));
    q.setParam(QStringLiteral("otd"), dm.Otd->active() && !dm.Otd->isEmpty() ? dm.Otd->field(QStringLiteral("OID")).value()
                                                                              : QVariant());
    q.setParam(QStringLiteral("type"), kind);
    q.setParam(QStringLiteral("min"), age);
    q.setParam(QStringLiteral("max"), age);
    if (bySex)
        q.setParam(QStringLiteral("male"), s);
    q.open();
    q.first();
    return !q.isEmpty();
}

} // namespace talvora::boilerplates
