#include "platform/valores/ValorColumna.h"

#include "platform/sistema/Fallo.h"
#include "platform/valores/TextoSql.h"
#include "platform/valores/Vb.h"

#include <cmath>
#include <cstring>

namespace {

Fallo no_coinciden(const QString& nombre, const QString& clase, const QVariant& valor)
{
    return Fallo(codigo_error::TIPOS_NO_COINCIDEN,
                 QStringLiteral("No coinciden los tipos: el campo '%1' es %2 y '%3' no lo es.")
                     .arg(nombre, clase, valor.toString()));
}

}  // namespace

QVariant valor_de_columna(const QVariant& valor, const Columna& columna)
{
    if (vb::esNulo(valor)) return QVariant();
    // The values writers give most often already are what the column
    // stores (a text that is not the null text, a double, a date).
    const int tipo = valor.typeId();
    if ((columna.tipo == TipoColumna::Texto && tipo == QMetaType::QString &&
         !static_cast<const QString*>(valor.constData())->isNull()) ||
        (columna.tipo == TipoColumna::Numero && tipo == QMetaType::Double) ||
        (columna.tipo == TipoColumna::Fecha && tipo == QMetaType::QDate))
        return valor;
    if (columna.tipo == TipoColumna::Numero && tipo == QMetaType::Int)
        return double(*static_cast<const int*>(valor.constData()));
    // The null text stores as the empty one.
    if (columna.tipo == TipoColumna::Texto && tipo == QMetaType::QString) {
        static const QVariant vacio = QVariant(QStringLiteral(""));
        return vacio;
    }
    switch (columna.tipo) {
    case TipoColumna::Texto:
        if (vb::es_numero(valor)) {
            const double d = valor.toDouble();
            if (valor.typeId() != QMetaType::Double && valor.typeId() != QMetaType::Float)
                return QString::number(valor.toLongLong());
            if (std::floor(d) == d && std::fabs(d) < 1e15) return QString::number(d, 'f', 0);
            return vb::CStr(d);
        }
        return valor_enlazado(QVariant(vb::texto(valor)));
    case TipoColumna::Numero:
        if (valor.typeId() == QMetaType::Bool) return valor.toBool() ? -1.0 : 0.0;
        if (vb::es_numero(valor)) return valor.toDouble();
        if (valor.typeId() == QMetaType::QString && vb::IsNumeric(valor.toString())) return vb::numero(valor);
        throw no_coinciden(columna.nombre, QStringLiteral("numérico"), valor);
    case TipoColumna::Logico:
        if (valor.typeId() == QMetaType::Bool) return valor.toBool();
        if (vb::es_numero(valor)) return valor.toDouble() != 0;
        if (valor.typeId() == QMetaType::QString) {
            if (const auto l = vb::logico_de_texto(valor.toString())) return *l;
        }
        throw no_coinciden(columna.nombre, QStringLiteral("lógico (Sí/No)"), valor);
    case TipoColumna::Fecha:
        if (valor.typeId() == QMetaType::QDate) return valor;
        if (valor.typeId() == QMetaType::QDateTime) return valor.toDateTime().date();
        if (valor.typeId() == QMetaType::QString && vb::IsDate(valor.toString())) return vb::CDate(valor.toString());
        throw no_coinciden(columna.nombre, QStringLiteral("una fecha"), valor);
    case TipoColumna::Otro: break;
    }
    return valor_enlazado(valor);
}

bool mismo_texto(const QString& a, const QString& b)
{
    return a.isNull() == b.isNull() && a.size() == b.size() &&
           (a.constData() == b.constData() ||
            std::memcmp(a.constData(), b.constData(), size_t(a.size()) * sizeof(QChar)) == 0);
}

bool mismo_valor(const QVariant& a, const QVariant& b)
{
    const int tipo = a.typeId();
    if (tipo != b.typeId()) return false;
    const void* x = a.constData();
    const void* y = b.constData();
    switch (tipo) {
    case QMetaType::QString: return mismo_texto(*static_cast<const QString*>(x), *static_cast<const QString*>(y));
    case QMetaType::Double: return std::memcmp(x, y, sizeof(double)) == 0;
    case QMetaType::Int: return *static_cast<const int*>(x) == *static_cast<const int*>(y);
    case QMetaType::LongLong: return *static_cast<const qlonglong*>(x) == *static_cast<const qlonglong*>(y);
    case QMetaType::Bool: return *static_cast<const bool*>(x) == *static_cast<const bool*>(y);
    case QMetaType::QDate: return *static_cast<const QDate*>(x) == *static_cast<const QDate*>(y);
    default: return false;
    }
}
