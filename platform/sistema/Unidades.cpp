#include "platform/sistema/Unidades.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

Unidades::Unidades(QString raiz) : raiz_(std::move(raiz))
{
    while (raiz_.size() > 1 && raiz_.endsWith(QLatin1Char('/'))) raiz_.chop(1);
}

QString Unidades::raiz_por_defecto()
{
    return QDir::homePath() + QStringLiteral("/.local/share/enlace");
}

namespace {

// The entry of `carpeta` whose name equals `nombre` without regard to case;
// the exact spelling wins when both exist. Empty when there is none.
QString entrada(const QString& carpeta, const QString& nombre)
{
    if (QFileInfo::exists(carpeta + QLatin1Char('/') + nombre)) return nombre;
    const QStringList entradas =
        QDir(carpeta).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString& e : entradas)
        if (e.compare(nombre, Qt::CaseInsensitive) == 0) return e;
    return {};
}

}  // namespace

QString Unidades::local(const QString& ruta_windows) const
{
    QString ruta = ruta_windows;
    ruta.replace(QLatin1Char('/'), QLatin1Char('\\'));

    QChar letra = QLatin1Char('C');
    static const QRegularExpression unidad(QStringLiteral("^([A-Za-z]):"));
    const auto m = unidad.match(ruta);
    if (m.hasMatch()) {
        letra = m.captured(1).at(0).toUpper();
        ruta = ruta.mid(2);
    }

    QString resultado = raiz_ + QLatin1Char('/') + letra;
    // While every component so far exists, the next one is looked up without
    // regard to case; from the first one that does not, the spelling is kept.
    bool existe = QFileInfo(resultado).isDir();
    QStringList hechos;
    for (const QString& parte : ruta.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        if (parte == QLatin1String(".")) continue;
        if (parte == QLatin1String("..")) {
            if (!hechos.isEmpty()) hechos.removeLast();
            resultado = raiz_ + QLatin1Char('/') + letra;
            for (const QString& h : hechos) resultado += QLatin1Char('/') + h;
            existe = QFileInfo(resultado).isDir();
            continue;
        }
        QString nombre = parte;
        if (existe) {
            const QString e = entrada(resultado, parte);
            if (e.isEmpty())
                existe = false;
            else
                nombre = e;
        }
        hechos << nombre;
        resultado += QLatin1Char('/') + nombre;
        if (existe) existe = QFileInfo(resultado).isDir();
    }
    return resultado;
}
