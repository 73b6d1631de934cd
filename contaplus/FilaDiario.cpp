#include "contaplus/FilaDiario.h"

#include "platform/FilaDirecta.h"
#include "platform/TextoSql.h"
#include "platform/ValorColumna.h"
#include "platform/Vb.h"

#include <algorithm>
#include <array>
#include <iterator>

namespace {

const QString XDIARIO = QStringLiteral("Xdiario");

// The columns a line sets, in the order it sets them.
const char* const COLUMNAS_LINEA[] = {
    "Asien",  "Fecha",    "subcta",   "Contra",   "PtaDebe",  "Concepto", "PtaHaber",  "Factura",
    "BaseImpo", "iva",    "Recequiv", "Documento", "Departa", "Clave",    "estado",    "Ncasado",
    "Tcasado", "Trans",   "Cambio",   "DebeMe",   "HaberMe",  "Auxiliar", "Serie",     "Sucursal",
    "CodDivisa", "ImpAuxMe", "MonedaUso", "EuroDebe", "EuroHaber", "BaseEuro"};
static_assert(std::size(COLUMNAS_LINEA) == EscritorDiario::COLUMNAS);
constexpr int EURO_DEBE = 27, EURO_HABER = 28;

}  // namespace

void EscritorDiario::anadir(Conexion& conexion_diario, double asien, const QDate& fecha, const LineaDiario& l,
                            ImportesLinea* importes)
{
    Backend& motor = conexion_diario.backend();
    const QVector<Columna> columnas = motor.columnas(XDIARIO);
    if (!columnas.isSharedWith(columnas_) || indices_.isEmpty()) {
        QVector<int> indices;
        for (const char* nombre : COLUMNAS_LINEA) {
            const QString n = QString::fromLatin1(nombre);
            int i = 0;
            while (i < columnas.size() && !mismo_nombre(columnas[i].nombre, n)) ++i;
            if (i == columnas.size())
                throw Fallo(codigo_error::ELEMENTO_NO_ENCONTRADO,
                            QStringLiteral("No se encuentra el campo '%1' en el recordset.").arg(n));
            indices << i;
        }
        // Each value goes where its column falls in the table's order: the
        // engine meets them, and any that does not fit, in that order.
        QVector<int> lugares(indices.size());
        for (int k = 0; k < indices.size(); ++k)
            lugares[k] = int(std::count_if(indices.cbegin(), indices.cend(), [&](int c) { return c < indices[k]; }));
        columnas_ = columnas;
        indices_ = indices;
        lugares_ = lugares;
        valores_ = QVariantList(columnas_.size());
        asignada_ = QVector<bool>(columnas_.size(), false);
        fijos_ = false;
        convertidos_ = {};
    }

    // Every value converted to its column's type first, in the order set,
    // so the first that cannot be is the one named. What the conversion
    // gives a text, a number or a date into a column of its kind (the text
    // itself, the number as a double, the date itself) is taken as it is.
    // A fixed value stays converted from the line before, once a whole line
    // has converted (one that does not fit must still fail in its turn).
    static const QVariant cero = 0;
    static const QVariant vacio = QStringLiteral("");
    const int* indices = indices_.constData();
    const int* lugares = lugares_.constData();
    const Columna* de_tabla = columnas_.constData();   // columnas_ stays shared with the engine's
    ValorDirecto* valores = valores_d_.data();
    const bool fijos = fijos_;
    int k = 0;
    auto lugar = [&]() -> ValorDirecto& {
        ValorDirecto& d = valores[lugares[k]];
        d.columna = indices[k];
        return d;
    };
    auto poner = [&](const QVariant& v) {
        ValorDirecto& d = lugar();
        const Columna& columna = de_tabla[d.columna];
        const int t = v.typeId();
        if (!vb::esNulo(v)) {
            if (columna.tipo == TipoColumna::Texto && t == QMetaType::QString) {
                d.tipo = ValorDirecto::Texto;
                d.texto = static_cast<const QString*>(v.constData());
                ++k;
                return;
            }
            if (columna.tipo == TipoColumna::Numero && (t == QMetaType::Double || t == QMetaType::Int)) {
                d.tipo = ValorDirecto::Numero;
                d.numero = t == QMetaType::Double ? *static_cast<const double*>(v.constData())
                                                  : double(*static_cast<const int*>(v.constData()));
                ++k;
                return;
            }
            if (columna.tipo == TipoColumna::Fecha && t == QMetaType::QDate) {
                d.tipo = ValorDirecto::Fecha;
                d.fecha = *static_cast<const QDate*>(v.constData());
                ++k;
                return;
            }
        }
        // A value the same as the one converted here on the line before (an
        // entry's lines share its invoice and document) is not converted again.
        Convertido& o = convertidos_[size_t(k)];
        if (!o.hecho || !mismo_valor(o.origen, v)) {
            o.hecho = false;
            o.valor = valor_de_columna(v, columna);
            o.origen = v;
            o.hecho = true;
        }
        const QVariant& c = o.valor;
        ++k;
        switch (c.typeId()) {
        case QMetaType::UnknownType:
            d.tipo = ValorDirecto::Nulo;
            break;
        case QMetaType::QString:
            d.tipo = ValorDirecto::Texto;
            d.texto = static_cast<const QString*>(c.constData());
            break;
        case QMetaType::Double:
            d.tipo = ValorDirecto::Numero;
            d.numero = *static_cast<const double*>(c.constData());
            break;
        case QMetaType::QDate:
            d.tipo = ValorDirecto::Fecha;
            d.fecha = *static_cast<const QDate*>(c.constData());
            break;
        default:
            d.tipo = ValorDirecto::Otro;
            d.otro = &c;
        }
    };
    // Values of the line's own types: into a column of their kind as they
    // are, into any other through the conversion.
    auto poner_numero = [&](double x) {
        if (de_tabla[indices[k]].tipo != TipoColumna::Numero) {
            propios_[size_t(k)] = x;
            poner(propios_[size_t(k)]);
            return;
        }
        ValorDirecto& d = lugar();
        d.tipo = ValorDirecto::Numero;
        d.numero = x;
        ++k;
    };
    auto poner_texto = [&](const QString& s) {
        if (de_tabla[indices[k]].tipo != TipoColumna::Texto) {
            propios_[size_t(k)] = s;
            poner(propios_[size_t(k)]);
            return;
        }
        ValorDirecto& d = lugar();
        d.tipo = ValorDirecto::Texto;
        d.texto = &s;
        ++k;
    };
    auto fijo = [&](const QVariant& v) {
        if (fijos)
            ++k;
        else
            poner(v);
    };
    try {
        if (de_tabla[indices[0]].tipo == TipoColumna::Numero)
            poner_numero(asien);
        else
            poner(QVariant(asien));
        if (de_tabla[indices[1]].tipo == TipoColumna::Fecha) {
            ValorDirecto& d = lugar();
            d.tipo = ValorDirecto::Fecha;
            d.fecha = fecha;
            ++k;
        } else {
            poner(QVariant(fecha));
        }
        poner(l.subcta);
        poner(l.contra);
        poner_numero(l.pta_debe);
        poner_texto(l.concepto);
        poner_numero(l.pta_haber);
        poner(l.factura);
        poner_numero(l.base_impo);
        poner(l.iva);
        fijo(cero);             // Recequiv
        poner(l.documento);
        fijo(vacio);            // Departa
        fijo(vacio);            // Clave
        fijo(vacio);            // estado
        for (int i = 0; i < 6; ++i) fijo(cero);   // Ncasado, Tcasado, Trans, Cambio, DebeMe, HaberMe
        poner_texto(l.auxiliar);
        poner_texto(l.serie);
        fijo(vacio);            // Sucursal
        fijo(vacio);            // CodDivisa
        fijo(cero);             // ImpAuxMe
        poner(l.moneda_uso);
        poner(l.euro_debe);
        poner(l.euro_haber);
        poner(l.base_euro);
    } catch (...) {
        fijos_ = false;
        throw;
    }
    fijos_ = true;
    if (importes) {
        const ValorDirecto& debe = valores[lugares[EURO_DEBE]];
        const ValorDirecto& haber = valores[lugares[EURO_HABER]];
        importes->debe = debe.tipo == ValorDirecto::Numero ? debe.numero : vb::numero(debe.variante());
        importes->haber = haber.tipo == ValorDirecto::Numero ? haber.numero : vb::numero(haber.variante());
    }
    if (FilaDirecta* fila = motor.fila_directa(XDIARIO, columnas_)) {
        fila->anadir(valores, COLUMNAS);
        return;
    }
    // An engine that takes rows only whole: the same values as a row.
    for (const ValorDirecto& d : valores_d_) {
        valores_[d.columna] = d.variante();
        asignada_[d.columna] = true;
    }
    motor.insertar_fila(XDIARIO, columnas_, valores_, asignada_);
}

QString unir(const QString& texto, const QVariant& campo)
{
    return vb::esNulo(campo) ? texto : texto + vb::texto(campo);
}
