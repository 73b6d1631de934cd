#include "contaplus/FilaDiario.h"

#include "platform/TextoSql.h"
#include "platform/ValorColumna.h"
#include "platform/Vb.h"

#include <bit>

namespace {

const QString XDIARIO = QStringLiteral("Xdiario");

// The columns a line sets, in the order it sets them.
const char* const COLUMNAS_LINEA[] = {
    "Asien",  "Fecha",    "subcta",   "Contra",   "PtaDebe",  "Concepto", "PtaHaber",  "Factura",
    "BaseImpo", "iva",    "Recequiv", "Documento", "Departa", "Clave",    "estado",    "Ncasado",
    "Tcasado", "Trans",   "Cambio",   "DebeMe",   "HaberMe",  "Auxiliar", "Serie",     "Sucursal",
    "CodDivisa", "ImpAuxMe", "MonedaUso", "EuroDebe", "EuroHaber", "BaseEuro"};
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
        columnas_ = columnas;
        indices_ = indices;
        valores_ = QVariantList(columnas_.size());
        asignada_ = QVector<bool>(columnas_.size(), false);
        fijos_ = false;
    }
    // The empty text, not the null one: the same value once converted, with
    // no conversion.
    static const QString vacio = QStringLiteral("");
    const bool fijos = fijos_;
    int k = 0;
    // A variable value is converted on every line; a fixed one until a
    // whole line has converted (one that does not fit must still fail in
    // its turn, after the values before it).
    auto poner = [&](const QVariant& v) {
        const int i = indices_[k++];
        // at(): columnas_ is shared with the engine's, and must stay so.
        const TipoColumna tipo = columnas_.at(i).tipo;
        const int t = v.typeId();
        QVariant& valor = valores_[i];
        asignada_[i] = true;
        // What the conversion gives a text, a number or a date into a column
        // of its kind (the text itself, the null text as the empty one, the
        // number as a double, the date itself) is stored without it; the
        // same value as the line before is left where it is.
        if (!vb::esNulo(v)) {
            if (tipo == TipoColumna::Texto && t == QMetaType::QString) {
                const QString& nuevo = *static_cast<const QString*>(v.constData());
                const bool igual = valor.typeId() == QMetaType::QString
                                   && *static_cast<const QString*>(valor.constData()) == nuevo;
                if (!igual) valor = nuevo.isNull() ? vacio : nuevo;
                return;
            }
            if (tipo == TipoColumna::Numero && (t == QMetaType::Double || t == QMetaType::Int)) {
                const double nuevo = t == QMetaType::Double ? *static_cast<const double*>(v.constData())
                                                            : double(*static_cast<const int*>(v.constData()));
                if (valor.typeId() != QMetaType::Double
                    || std::bit_cast<quint64>(*static_cast<const double*>(valor.constData()))
                           != std::bit_cast<quint64>(nuevo))
                    valor = nuevo;
                return;
            }
            if (tipo == TipoColumna::Fecha && t == QMetaType::QDate) {
                const QDate nuevo = *static_cast<const QDate*>(v.constData());
                if (valor.typeId() != QMetaType::QDate || *static_cast<const QDate*>(valor.constData()) != nuevo)
                    valor = nuevo;
                return;
            }
        }
        valor = valor_de_columna(v, columnas_.at(i));
    };
    auto fijo = [&](const QVariant& v) {
        if (fijos)
            ++k;
        else
            poner(v);
    };
    try {
        poner(asien);
        poner(fecha);
        poner(l.subcta);
        poner(l.contra);
        poner(l.pta_debe);
        poner(l.concepto);
        poner(l.pta_haber);
        poner(l.factura);
        poner(l.base_impo);
        poner(l.iva);
        fijo(0);            // Recequiv
        poner(l.documento);
        fijo(vacio);        // Departa
        fijo(vacio);        // Clave
        fijo(vacio);        // estado
        for (int cero = 0; cero < 6; ++cero) fijo(0);   // Ncasado, Tcasado, Trans, Cambio, DebeMe, HaberMe
        poner(l.auxiliar);
        poner(l.serie);
        fijo(vacio);        // Sucursal
        fijo(vacio);        // CodDivisa
        fijo(0);            // ImpAuxMe
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
        importes->debe = vb::numero(valores_.at(indices_[EURO_DEBE]));
        importes->haber = vb::numero(valores_.at(indices_[EURO_HABER]));
    }
    motor.insertar_fila(XDIARIO, columnas_, valores_, asignada_);
}

QString unir(const QString& texto, const QVariant& campo)
{
    return vb::esNulo(campo) ? texto : texto + vb::texto(campo);
}
