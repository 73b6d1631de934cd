#include "platform/sql/SimulacionBackend.h"

#include "platform/valores/Vb.h"
#include <QRegularExpression>

namespace {

// "UPDATE t SET c = constant WHERE c IS NULL", the constant a quoted text
// without quotes inside or a number.
const QRegularExpression RELLENO(
    QStringLiteral("^\\s*UPDATE\\s+(\\w+)\\s+SET\\s+(\\w+)\\s*=\\s*('[^']*'|-?[0-9]+(?:\\.[0-9]+)?)\\s+"
                   "WHERE\\s+(\\w+)\\s+IS\\s+NULL\\s*;?\\s*$"),
    QRegularExpression::CaseInsensitiveOption);

// The first table a selection reads: "SELECT ... FROM t ...".
const QRegularExpression DESDE(QStringLiteral("\\bFROM\\s+(\\w+)"), QRegularExpression::CaseInsensitiveOption);

QVariant constante(const QString& texto)
{
    if (texto.startsWith(QLatin1Char('\''))) return texto.mid(1, texto.size() - 2);
    if (texto.contains(QLatin1Char('.'))) return texto.toDouble();
    return texto.toLongLong();
}

QString literal(const QVariant& v)
{
    return v.typeId() == QMetaType::QString ? QLatin1Char('\'') + v.toString() + QLatin1Char('\'') : v.toString();
}

bool es_seleccion(const QString& sql)
{
    return sql.trimmed().startsWith(QLatin1String("SELECT"), Qt::CaseInsensitive);
}

// The rows of the real query with the filled columns' Nulls replaced.
class ConsultaRellena : public Consulta {
public:
    ConsultaRellena(std::unique_ptr<Consulta> real, SimulacionBackend::Rellenos rellenos)
        : real_(std::move(real)), rellenos_(std::move(rellenos))
    {
    }

    Resultado leer() override
    {
        Resultado r = real_->leer();
        for (int c = 0; c < r.columnas.size(); ++c) {
            const auto it = rellenos_.constFind(r.columnas[c].nombre.toLower());
            if (it == rellenos_.constEnd()) continue;
            for (QVariantList& fila : r.filas)
                if (c < fila.size() && vb::esNulo(fila[c])) fila[c] = it.value();
        }
        return r;
    }
    QString tabla() const override { return real_->tabla(); }

private:
    std::unique_ptr<Consulta> real_;
    SimulacionBackend::Rellenos rellenos_;
};

}  // namespace

SimulacionBackend::SimulacionBackend(std::shared_ptr<Backend> real, MotorDbase* dbase)
    : real_(std::move(real)), real_dbase_(dbase)
{
}

MotorDbase& SimulacionBackend::real_dbase() const
{
    if (!real_dbase_)
        throw Fallo(codigo_error::FALLO_GENERAL,
                    QStringLiteral("La conexión simulada no es de una carpeta de archivos dBASE."));
    return *real_dbase_;
}

void SimulacionBackend::ejecutar(const QString& sql, const QVariantList& parametros)
{
    if (es_seleccion(sql)) {
        real_->ejecutar(reescrita(sql), parametros);
        return;
    }
    const QRegularExpressionMatch r = RELLENO.match(sql);
    if (r.hasMatch() && r.captured(2).compare(r.captured(4), Qt::CaseInsensitive) == 0) {
        rellenos_[r.captured(1).toLower()].insert(r.captured(2).toLower(), constante(r.captured(3)));
        reescritas_.clear();
    }
}

QString SimulacionBackend::reescrita(const QString& sql) const
{
    if (rellenos_.isEmpty()) return sql;
    const auto hecha = reescritas_.constFind(sql);
    if (hecha != reescritas_.constEnd()) return *hecha;
    return *reescritas_.insert(sql, reescribir(sql));
}

QString SimulacionBackend::reescribir(const QString& sql) const
{
    const QRegularExpressionMatch desde = DESDE.match(sql);
    if (!desde.hasMatch()) return sql;
    const auto it = rellenos_.constFind(desde.captured(1).toLower());
    if (it == rellenos_.constEnd()) return sql;
    // Only after the table's name: the selected columns keep their names.
    const qsizetype inicio = desde.capturedEnd(1);
    QString resto = sql.mid(inicio);
    for (auto c = it->constBegin(); c != it->constEnd(); ++c) {
        const QRegularExpression nombre(QStringLiteral("\\b%1\\b").arg(QRegularExpression::escape(c.key())),
                                        QRegularExpression::CaseInsensitiveOption);
        QString nuevo;
        qsizetype desde_aqui = 0;
        for (auto m = nombre.globalMatch(resto); m.hasNext();) {
            const QRegularExpressionMatch x = m.next();
            nuevo += resto.mid(desde_aqui, x.capturedStart() - desde_aqui);
            nuevo += QStringLiteral("COALESCE(%1, %2)").arg(x.captured(), literal(c.value()));
            desde_aqui = x.capturedEnd();
        }
        resto = nuevo + resto.mid(desde_aqui);
    }
    return sql.left(inicio) + resto;
}

std::unique_ptr<Consulta> SimulacionBackend::abrir(const QString& sql, const QVariantList& parametros,
                                                   bool actualizable)
{
    const QRegularExpressionMatch desde = DESDE.match(sql);
    std::unique_ptr<Consulta> real = real_->abrir(reescrita(sql), parametros, actualizable);
    const auto it = desde.hasMatch() ? rellenos_.constFind(desde.captured(1).toLower()) : rellenos_.constEnd();
    if (it == rellenos_.constEnd()) return real;
    return std::make_unique<ConsultaRellena>(std::move(real), it.value());
}

QVector<Columna> SimulacionBackend::columnas(const QString& tabla)
{
    return real_->columnas(tabla);
}

void SimulacionBackend::insertar(const QString&, const QStringList&, const QVariantList&) {}

void SimulacionBackend::actualizar(const QString&, const Resultado&, int, const QStringList&, const QVariantList&) {}

qint64 SimulacionBackend::registros(const QString& tabla)
{
    return real_dbase().registros(tabla);
}
QString SimulacionBackend::huella(const QString& tabla, qint64 registros)
{
    return real_dbase().huella(tabla, registros);
}
QByteArray SimulacionBackend::crudos(const QString& tabla, qint64 desde, qint64 n)
{
    return real_dbase().crudos(tabla, desde, n);
}
QByteArray SimulacionBackend::cola(const QString& tabla)
{
    return real_dbase().cola(tabla);
}
QString SimulacionBackend::identidad(const QString& tabla)
{
    return real_dbase().identidad(tabla);
}

void SimulacionBackend::comenzar()
{
    transaccion_ = true;
}
void SimulacionBackend::confirmar()
{
    transaccion_ = false;
}
void SimulacionBackend::deshacer()
{
    transaccion_ = false;
}
