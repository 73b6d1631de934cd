#include "transfer/FacturasDeCobros.h"

#include "platform/sql/Recordset.h"
#include "platform/valores/Vb.h"

#include <QMap>
#include <QSet>

namespace {

constexpr int LISTA_MAXIMA = 256;

QString clave(const QVariant& ano, const QVariant& numero)
{
    return vb::texto(ano) + QLatin1Char('|') + vb::texto(numero);
}

}  // namespace

QString lista_de_parametros(int n)
{
    QString r;
    r.reserve(n * 3);
    for (int i = 0; i < n; ++i) r += i ? QStringLiteral(", ?") : QStringLiteral("?");
    return r;
}

int largo_de_lista(int n)
{
    int largo = 1;
    while (largo < n && largo < LISTA_MAXIMA) largo *= 2;
    return largo;
}

QVariantList valores_de_lista(const QStringList& valores, qsizetype desde, int n, int largo)
{
    QVariantList r;
    r.reserve(largo);
    for (int i = 0; i < largo; ++i) r << valores[desde + std::min(i, n - 1)];
    return r;
}

void FacturasDeCobros::leer(Conexion& emi, const QVector<std::pair<QVariant, QVariant>>& claves)
{
    leidas_.clear();
    // The numbers by year, each once, in the order first met.
    QMap<QString, QStringList> por_ano;
    QSet<QString> vistas;
    for (const auto& [ano, numero] : claves) {
        // A movement that names no invoice (an empty year or number) is
        // left to the lookup alone.
        if (vb::esNulo(ano) || vb::esNulo(numero) || vb::texto(ano).isEmpty() || vb::texto(numero).isEmpty()) continue;
        if (vistas.contains(clave(ano, numero))) continue;
        vistas.insert(clave(ano, numero));
        por_ano[vb::texto(ano)] << vb::texto(numero);
    }
    for (auto it = por_ano.cbegin(); it != por_ano.cend(); ++it) {
        const QStringList& numeros = it.value();
        for (qsizetype desde = 0; desde < numeros.size(); desde += LISTA_MAXIMA) {
            const int n = int(std::min<qsizetype>(LISTA_MAXIMA, numeros.size() - desde));
            const int largo = largo_de_lista(n);
            const QVariantList p = QVariantList{it.key()} + valores_de_lista(numeros, desde, n, largo);
            Recordset rs;
            rs.abrir(QStringLiteral("SELECT EmiAno, EmiNum, EmiC, EmiCli, EmiFec FROM emi WHERE EmiAno = ? AND "
                                    "EmiNum IN (%1)")
                         .arg(lista_de_parametros(largo)),
                     emi, Cursor::Dinamico, Bloqueo::SoloLectura, p);
            for (; !rs.eof(); rs.siguiente()) {
                const QString k = clave(rs.campo(QStringLiteral("EmiAno")), rs.campo(QStringLiteral("EmiNum")));
                // The first row of a number, as the lookup's first row.
                if (!leidas_.contains(k)) leidas_.insert(k, ClienteFactura::leer(rs));
            }
        }
    }
}

std::optional<ClienteFactura> FacturasDeCobros::buscar(const QVariant& ano, const QVariant& numero) const
{
    if (vb::esNulo(ano) || vb::esNulo(numero)) return std::nullopt;
    const auto it = leidas_.constFind(clave(ano, numero));
    if (it == leidas_.constEnd()) return std::nullopt;
    return *it;
}
