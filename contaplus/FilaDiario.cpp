#include "contaplus/FilaDiario.h"

#include "platform/motor/FilaDirecta.h"
#include "platform/valores/TextoSql.h"
#include "platform/valores/ValorColumna.h"
#include "platform/valores/Vb.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <type_traits>

namespace {

const QString XDIARIO = QStringLiteral("Xdiario");

// The columns a line sets, in the order it sets them.
const char* const COLUMNAS_LINEA[] = {"Asien",     "Fecha",    "subcta",    "Contra",   "PtaDebe",   "Concepto",
                                      "PtaHaber",  "Factura",  "BaseImpo",  "iva",      "Recequiv",  "Documento",
                                      "Departa",   "Clave",    "estado",    "Ncasado",  "Tcasado",   "Trans",
                                      "Cambio",    "DebeMe",   "HaberMe",   "Auxiliar", "Serie",     "Sucursal",
                                      "CodDivisa", "ImpAuxMe", "MonedaUso", "EuroDebe", "EuroHaber", "BaseEuro"};
static_assert(std::size(COLUMNAS_LINEA) == EscritorDiario::COLUMNAS);
constexpr int EURO_DEBE = 27, EURO_HABER = 28;

// A value taken from its variant that is already of the kind a column of
// type `tipo` stores: a text, a number, a date.
bool de_su_clase(ValorDirecto::Tipo valor, TipoColumna tipo)
{
    return (valor == ValorDirecto::Texto && tipo == TipoColumna::Texto) ||
           (valor == ValorDirecto::Numero && tipo == TipoColumna::Numero) ||
           (valor == ValorDirecto::Fecha && tipo == TipoColumna::Fecha);
}

}  // namespace

void EscritorDiario::anadir(Conexion& conexion_diario, qint32 asien, const QDate& fecha, const LineaDiario& l,
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
    // so the first that cannot be is the one named. A value of its column's
    // kind (a text, a number, a date) is what the conversion would give, and
    // is taken as it is. A fixed value stays converted from the line before,
    // once a whole line has converted (one that does not fit must still fail
    // in its turn).
    static const QVariant cero = 0;
    static const QVariant vacio = QStringLiteral("");
    const int* indices = indices_.constData();
    const int* lugares = lugares_.constData();
    const Columna* de_tabla = columnas_.constData();  // columnas_ stays shared with the engine's
    ValorDirecto* valores = valores_d_.data();
    const bool fijos = fijos_;
    int k = 0;
    auto poner = [&](const QVariant& v) {
        ValorDirecto& d = valores[lugares[k]];
        const int c = indices[k];
        const Columna& columna = de_tabla[c];
        ++k;
        // Null is what the conversion makes of it.
        if (!vb::esNulo(v)) {
            d.tomar(c, v);
            if (de_su_clase(d.tipo, columna.tipo)) return;
        }
        // A value the same as the one converted here on the line before (an
        // entry's lines share its invoice and document) is not converted again.
        Convertido& o = convertidos_[size_t(k - 1)];
        if (!o.hecho || !mismo_valor(o.origen, v)) {
            o.hecho = false;
            o.valor = valor_de_columna(v, columna);
            o.origen = v;
            o.hecho = true;
        }
        d.tomar(c, o.valor);
    };
    // A value of the line's own type (a number, a text, a date): into a
    // column of its kind as it is, into any other through the conversion.
    auto propio = [&](const auto& x) {
        using T = std::decay_t<decltype(x)>;
        constexpr TipoColumna clase = std::is_same_v<T, QString> ? TipoColumna::Texto
                                      : std::is_same_v<T, QDate> ? TipoColumna::Fecha
                                                                 : TipoColumna::Numero;
        if (de_tabla[indices[k]].tipo != clase) {
            propios_[size_t(k)] = x;
            poner(propios_[size_t(k)]);
            return;
        }
        ValorDirecto& d = valores[lugares[k]];
        d.columna = indices[k];
        if constexpr (clase == TipoColumna::Texto) {
            d.tipo = ValorDirecto::Texto;
            d.texto = &x;
        } else if constexpr (clase == TipoColumna::Fecha) {
            d.tipo = ValorDirecto::Fecha;
            d.fecha = x;
        } else {
            d.tipo = ValorDirecto::Numero;
            d.numero = double(x);
        }
        ++k;
    };
    auto fijo = [&](const QVariant& v) {
        if (fijos)
            ++k;
        else
            poner(v);
    };
    try {
        propio(double(asien));  // ASIEN, a number column
        propio(fecha);
        poner(l.subcta);
        poner(l.contra);
        propio(l.pta_debe);
        propio(l.concepto);
        propio(l.pta_haber);
        poner(l.factura);
        propio(l.base_impo);
        poner(l.iva);
        fijo(cero);  // Recequiv
        poner(l.documento);
        fijo(vacio);                             // Departa
        fijo(vacio);                             // Clave
        fijo(vacio);                             // estado
        for (int i = 0; i < 6; ++i) fijo(cero);  // Ncasado, Tcasado, Trans, Cambio, DebeMe, HaberMe
        propio(l.auxiliar);
        propio(l.serie);
        fijo(vacio);  // Sucursal
        fijo(vacio);  // CodDivisa
        fijo(cero);   // ImpAuxMe
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
