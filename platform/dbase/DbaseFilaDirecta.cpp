#include "platform/dbase/DbaseFilaDirecta.h"

#include "platform/dbase/DbaseTabla.h"
#include "platform/sistema/Fallo.h"
#include "platform/valores/ValorColumna.h"

#include <bit>
#include <cstring>

namespace dbase {

void FilaDbf::poner(const ValorDirecto* valores, int n)
{
    Tabla& t = t_;
    if (t.campos.isEmpty())
        throw Fallo(codigo_error::FALLO_GENERAL, QStringLiteral("La tabla %1 no tiene columnas").arg(nombre_));
    const int largo = t.h->nRecordLength;
    if (registro_.size() != largo + 1 || campos_.size() != t.campos.size()) {
        registro_ = QByteArray(largo + 1, ' ');
        registro_[largo] = '\x1A';
        campos_ = QVector<Campo>(t.campos.size());
        fila_ = 0;
    }
    if (++fila_ == 0) {
        // After 2^32 rows the marks of the rows before would read as this one's.
        for (Campo& c : campos_) c.fila = 0;
        fila_ = 1;
    }
    char* bytes = registro_.data();
    Campo* campos = campos_.data();
    const dbase::Campo* de_tabla = t.campos.constData();
    const int n_campos = int(t.campos.size());
    for (int k = 0; k < n; ++k) {
        const ValorDirecto& v = valores[k];
        if (v.columna < 0 || v.columna >= n_campos)
            throw Fallo(codigo_error::ELEMENTO_NO_ENCONTRADO,
                        QStringLiteral("La tabla %1 no tiene la columna número %2").arg(nombre_).arg(v.columna + 1));
        const dbase::Campo& campo = de_tabla[v.columna];
        Campo& c = campos[v.columna];
        char* f = bytes + campo.desplazamiento;
        c.fila = fila_;
        if (v.tipo == ValorDirecto::Nulo) {
            if (c.estado != Campo::Blanco) {
                std::memset(f, ' ', size_t(campo.ancho));
                c.estado = Campo::Blanco;
            }
            continue;
        }
        if (c.estado == Campo::Valor && c.tipo == v.tipo) {
            if (v.tipo == ValorDirecto::Texto && mismo_texto(c.texto, *v.texto)) continue;
            if (v.tipo == ValorDirecto::Numero && std::bit_cast<quint64>(c.numero) == std::bit_cast<quint64>(v.numero))
                continue;
            if (v.tipo == ValorDirecto::Fecha && c.fecha == v.fecha) continue;
        }
        // Not known until written: a value that does not fit leaves it so,
        // and the row is not appended.
        c.estado = Campo::Desconocido;
        bool hecho = false;
        switch (v.tipo) {
        case ValorDirecto::Texto: hecho = campo.tipo == 'C' && texto_directo(f, campo, *v.texto); break;
        case ValorDirecto::Numero:
            hecho = (campo.tipo == 'N' || campo.tipo == 'F') && numero_directo(f, nombre_, campo, v.numero);
            break;
        case ValorDirecto::Fecha: hecho = campo.tipo == 'D' && fecha_directa(f, campo, v.fecha); break;
        default: break;
        }
        if (!hecho) formatear_en(f, nombre_, campo, v.variante(), *t.pagina);
        if (v.tipo == ValorDirecto::Otro) continue;
        c.tipo = v.tipo;
        switch (v.tipo) {
        case ValorDirecto::Texto: c.texto = *v.texto; break;
        case ValorDirecto::Numero: c.numero = v.numero; break;
        default: c.fecha = v.fecha; break;
        }
        c.estado = Campo::Valor;
    }
}

qint64 FilaDbf::anadir(const ValorDirecto* valores, int n)
{
    poner(valores, n);
    // The columns this row did not name are Null.
    Tabla& t = t_;
    char* bytes = registro_.data();
    Campo* campos = campos_.data();
    const dbase::Campo* de_tabla = t.campos.constData();
    for (int i = 0; i < int(t.campos.size()); ++i) {
        if (campos[i].fila != fila_ && campos[i].estado != Campo::Blanco) {
            std::memset(bytes + de_tabla[i].desplazamiento, ' ', size_t(de_tabla[i].ancho));
            campos[i].estado = Campo::Blanco;
        }
    }
    const qint64 clave = t.anadir_nuevo(registro_, nombre_, en_grupo_);
    *clave_ = clave;
    return clave;
}

}  // namespace dbase
