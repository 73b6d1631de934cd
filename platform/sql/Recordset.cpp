#include "platform/sql/Recordset.h"

#include "platform/valores/TextoSql.h"
#include "platform/valores/ValorColumna.h"
#include "platform/valores/Vb.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <algorithm>
#include <array>
#include <utility>

namespace {

// ADO 3251: the recordset (or its lock type) does not allow the operation.
constexpr qint32 NO_ADMITE_ACTUALIZAR = -2146825037;  // 0x800A0CB3

// Position of a column by name without regard to case; -1 when absent.
// `pista` is where the next one is looked for first, as the writers set and
// read a row's columns in the table's order; then a plain scan, which
// allocates nothing (rows have a few dozen columns).
int indice_de(const QVector<Columna>& columnas, const QString& nombre, int& pista)
{
    const int n = int(columnas.size());
    if (pista >= 0 && pista < n && mismo_nombre(columnas[pista].nombre, nombre)) return pista++;
    for (int i = 0; i < n; ++i) {
        if (mismo_nombre(columnas[i].nombre, nombre)) {
            pista = i + 1;
            return i;
        }
    }
    return -1;
}

// A Yes/No column reads as a Boolean whatever number the engine keeps.
QVariant como_se_lee(const QVariant& valor, const Columna& columna)
{
    if (columna.tipo == TipoColumna::Logico && vb::es_numero(valor)) return valor.toDouble() != 0;
    return valor;
}

}  // namespace

// Where names asked before were found, by the address of the name's
// characters and of the columns: fields are named by literals, whose
// characters stay where they are, and a recordset opened again on the same
// table is given the same columns, shared from its engine; so a name asked
// again is found at once. Each entry holds on to its columns, so no other
// columns can come to lie at their address. A literal (a text with no
// owner of its characters, which are never freed or changed; no field is
// named by QString::fromRawData) at the same address is the same name; any
// other text found there is still compared.
struct Recordset::Pistas {
    struct Entrada {
        const QChar* nombre = nullptr;
        QVector<Columna> columnas;
        int indice = 0;
        bool literal = false;
    };
    std::array<Entrada, 512> entradas;

    int indice(const QVector<Columna>& columnas, const QString& nombre, int& pista)
    {
        const quintptr clave = quintptr(nombre.constData()) ^ (quintptr(columnas.constData()) >> 3);
        const size_t ranura = size_t((quint64(clave) * 0x9E3779B97F4A7C15ull) >> 55);  // 9 bits
        Entrada& e = entradas[ranura];
        if (e.nombre == nombre.constData() && e.columnas.constData() == columnas.constData() &&
            e.indice < columnas.size() && (e.literal || mismo_nombre(columnas[e.indice].nombre, nombre))) {
            pista = e.indice + 1;
            return e.indice;
        }
        const int i = indice_de(columnas, nombre, pista);
        if (i >= 0) {
            e.nombre = nombre.constData();
            e.columnas = columnas;
            e.indice = i;
            e.literal = !nombre.isEmpty() && !nombre.data_ptr().isMutable();
        }
        return i;
    }
};

// Rows of a paged query held at a time.
constexpr int FILAS_POR_PAGINA = 256;

struct Recordset::Estado {
    // The connection first: it keeps the engine alive while the statement
    // opened on it exists.
    Conexion conexion;
    std::unique_ptr<Consulta> consulta;
    bool abierto = false;
    bool solo_lectura = true;
    QString tabla;

    // The query's rows, read the first time one is asked for: `total` of
    // them, those from `inicio` on held in `pagina` (all of them unless the
    // engine reads by pages). After them, at positions total on, the rows
    // added through this recordset, with the same columns.
    bool leido = false;
    bool con_filas = false;  // the query was read, or rows were added
    bool por_paginas = false;
    qint64 total = 0;
    qint64 inicio = 0;
    Resultado pagina;
    // The page held before it, from `inicio_previa` on: a return to rows
    // just passed (a group's marks set once the group has committed) finds
    // them without reading them again.
    qint64 inicio_previa = -1;
    Resultado previa;
    Resultado anadidas;
    qint64 fila = 0;

    // The row being added: every column of the table, Null until set.
    bool nueva = false;
    QVector<Columna> columnas_nueva;
    QVariantList valores_nueva;
    QVector<bool> asignada;

    // Changes to the current row not yet saved, by column.
    QMap<int, QVariant> cambios;

    // Where the next column named is looked for first (see indice_de).
    int pista = 0;

    const QVector<Columna>& columnas() const { return pagina.columnas; }
    qint64 filas() const { return total + anadidas.filas.size(); }

    // Reads the query the first time a row is needed. Rows added before it
    // was ever read are what the recordset holds: it is not read after them.
    void asegurar_filas()
    {
        if (con_filas) return;
        por_paginas = consulta->por_paginas();
        if (por_paginas) {
            total = consulta->contar();
            pagina = consulta->pagina(0, int(qMin<qint64>(FILAS_POR_PAGINA, total)));
        } else {
            pagina = consulta->leer();
            total = pagina.filas.size();
        }
        inicio = 0;
        fila = 0;
        leido = true;
        con_filas = true;
        saltar_borradas();
    }

    // The page holding position p in memory.
    void cargar(qint64 p)
    {
        if (!por_paginas || p >= total) return;
        if (p >= inicio && p < inicio + pagina.filas.size()) return;
        std::swap(pagina, previa);
        std::swap(inicio, inicio_previa);
        if (inicio >= 0 && p >= inicio && p < inicio + pagina.filas.size()) return;
        const qint64 desde = p - p % FILAS_POR_PAGINA;
        pagina = consulta->pagina(desde, int(qMin<qint64>(FILAS_POR_PAGINA, total - desde)));
        inicio = desde;
    }

    // A row of the query that another program deleted after it was
    // selected: a move forward passes over it.
    bool borrada(qint64 p)
    {
        if (!por_paginas || p >= total) return false;
        cargar(p);
        const qint64 i = p - inicio;
        return i < pagina.claves.size() && pagina.claves[i] < 0;
    }

    void saltar_borradas()
    {
        while (borrada(fila)) ++fila;
    }

    // Whether position p lies in block `r` as it is held now (nothing read).
    bool en(const Resultado* r, qint64 p) const
    {
        if (p < total) return r == &pagina && p >= inicio && p < inicio + pagina.filas.size();
        return r == &anadidas && p - total < anadidas.filas.size();
    }

    // The block and index of the current row; nullptr when there is none.
    Resultado* actual(int& i)
    {
        if (fila < total) {
            cargar(fila);
            i = int(fila - inicio);
            if (por_paginas && std::as_const(pagina.claves)[i] < 0)
                throw Fallo(codigo_error::FILA_NO_LOCALIZADA,
                            QStringLiteral("La fila de '%1' ya no está en la tabla: otro programa la ha borrado "
                                           "desde que se leyó.")
                                .arg(tabla));
            return &pagina;
        }
        const qint64 k = fila - total;
        if (k < anadidas.filas.size()) {
            i = int(k);
            return &anadidas;
        }
        return nullptr;
    }
};

Recordset::Recordset() : e_(std::make_unique<Estado>()), pistas_(std::make_unique<Pistas>()) {}
Recordset::~Recordset() = default;
Recordset::Recordset(Recordset&& o) noexcept : e_(std::move(o.e_)), pistas_(std::move(o.pistas_))
{
    o.e_ = std::make_unique<Estado>();
    o.pistas_ = std::make_unique<Pistas>();
}
Recordset& Recordset::operator=(Recordset&& o) noexcept
{
    std::swap(e_, o.e_);
    std::swap(pistas_, o.pistas_);
    return *this;
}

namespace {

Fallo cerrado()
{
    return Fallo(codigo_error::OBJETO_CERRADO, QStringLiteral("No se permite la operación si el objeto está cerrado."));
}

Fallo sin_fila()
{
    return Fallo(codigo_error::SIN_FILA_ACTUAL,
                 QStringLiteral("No hay fila actual: el recordset está al principio o al final."));
}

Fallo no_encontrado(const QString& nombre)
{
    return Fallo(codigo_error::ELEMENTO_NO_ENCONTRADO,
                 QStringLiteral("No se encuentra el campo '%1' en el recordset.").arg(nombre));
}

}  // namespace

void Recordset::abrir(const QString& sql, Conexion& conexion, Cursor, Bloqueo bloqueo, const QVariantList& parametros)
{
    cerrar();
    Backend& motor = conexion.backend();  // CONEXION_CERRADA when not open
    auto consulta = motor.abrir(sql, parametros, bloqueo == Bloqueo::Optimista);
    e_->conexion = conexion;
    e_->consulta = std::move(consulta);
    e_->tabla = e_->consulta->tabla();
    e_->solo_lectura = bloqueo == Bloqueo::SoloLectura;
    e_->abierto = true;
}

bool Recordset::abierto() const
{
    return e_->abierto;
}

void Recordset::cerrar()
{
    // A row being added or changed and not saved is given up, as ADO's
    // CancelUpdate. A closed recordset holds nothing (only abrir() fills
    // it), so closing it again costs nothing.
    if (!e_->abierto) return;
    e_ = std::make_unique<Estado>();
}

bool Recordset::leido() const
{
    return e_->leido;
}

bool Recordset::eof()
{
    if (!e_->abierto) throw cerrado();
    if (e_->nueva) return false;
    e_->asegurar_filas();
    return e_->fila >= e_->filas();
}

void Recordset::siguiente()
{
    if (!e_->abierto) throw cerrado();
    // Moving saves the row being added or changed, as ADO does.
    if (e_->nueva || !e_->cambios.isEmpty()) guardar();
    e_->asegurar_filas();
    if (e_->fila >= e_->filas()) throw sin_fila();
    ++e_->fila;
    e_->saltar_borradas();
}

qint64 Recordset::recuento()
{
    if (!e_->abierto) throw cerrado();
    e_->asegurar_filas();
    return e_->filas();
}

QVariant Recordset::campo(const QString& nombre)
{
    if (!e_->abierto) throw cerrado();
    if (e_->nueva) {
        const int i = pistas_->indice(e_->columnas_nueva, nombre, e_->pista);
        if (i < 0) throw no_encontrado(nombre);
        return como_se_lee(e_->valores_nueva[i], e_->columnas_nueva.at(i));
    }
    e_->asegurar_filas();
    const int i = pistas_->indice(e_->columnas(), nombre, e_->pista);
    if (i < 0) throw no_encontrado(nombre);
    int f = 0;
    const Resultado* r = e_->actual(f);
    if (!r) throw sin_fila();
    const auto cambio = e_->cambios.constFind(i);
    const QVariant& v = cambio != e_->cambios.constEnd() ? *cambio : r->filas[f][i];
    return como_se_lee(v, e_->columnas()[i]);
}

void Recordset::asignar(const QString& nombre, const QVariant& valor)
{
    if (!e_->abierto) throw cerrado();
    if (e_->solo_lectura)
        throw Fallo(NO_ADMITE_ACTUALIZAR,
                    QStringLiteral("El recordset está abierto de solo lectura: no se puede cambiar el campo '%1'.")
                        .arg(nombre));
    if (e_->nueva) {
        const int i = pistas_->indice(e_->columnas_nueva, nombre, e_->pista);
        if (i < 0) throw no_encontrado(nombre);
        e_->valores_nueva[i] = valor_de_columna(valor, e_->columnas_nueva.at(i));
        e_->asignada[i] = true;
        return;
    }
    e_->asegurar_filas();
    const int i = pistas_->indice(e_->columnas(), nombre, e_->pista);
    if (i < 0) throw no_encontrado(nombre);
    int f = 0;
    if (!e_->actual(f)) throw sin_fila();
    if (e_->tabla.isEmpty())
        throw Fallo(NO_ADMITE_ACTUALIZAR,
                    QStringLiteral(
                        "La consulta no es una selección de una sola tabla: no se puede cambiar el campo '%1'.")
                        .arg(nombre));
    e_->cambios.insert(i, valor_de_columna(valor, e_->columnas()[i]));
}

void Recordset::nuevo()
{
    if (!e_->abierto) throw cerrado();
    if (e_->solo_lectura)
        throw Fallo(NO_ADMITE_ACTUALIZAR,
                    QStringLiteral("El recordset está abierto de solo lectura: no se pueden añadir filas."));
    if (e_->tabla.isEmpty())
        throw Fallo(NO_ADMITE_ACTUALIZAR,
                    QStringLiteral("La consulta no es una selección de una sola tabla: no se pueden añadir filas."));
    if (e_->nueva || !e_->cambios.isEmpty()) guardar();
    // Only the table's columns are needed, never its rows.
    e_->columnas_nueva = e_->conexion.backend().columnas(e_->tabla);
    e_->valores_nueva = QVariantList(e_->columnas_nueva.size());
    e_->asignada = QVector<bool>(e_->columnas_nueva.size(), false);
    e_->nueva = true;
}

namespace {

// Writes the changes `cambios` (by column) into rows `filas` of block `r`,
// and makes them the rows as read for those written, even when a later
// one fails; `escritas` says how many were.
void escribir_cambios(Backend& motor, const QString& tabla, Resultado& r, const QVector<int>& filas,
                      const QMap<int, QVariant>& cambios, qsizetype& escritas)
{
    QStringList columnas;
    QVariantList valores;
    for (auto it = cambios.constBegin(); it != cambios.constEnd(); ++it) {
        columnas << r.columnas[it.key()].nombre;
        valores << it.value();
    }
    auto leidas = [&] {
        for (qsizetype k = 0; k < escritas; ++k)
            for (auto it = cambios.constBegin(); it != cambios.constEnd(); ++it)
                r.filas[filas[k]][it.key()] = it.value();
    };
    try {
        motor.actualizar_filas(tabla, r, filas, columnas, valores, escritas);
    } catch (...) {
        leidas();
        throw;
    }
    leidas();
}

}  // namespace

void Recordset::guardar()
{
    if (!e_->abierto) throw cerrado();
    Estado& e = *e_;
    Backend& motor = e.conexion.backend();
    if (e.nueva) {
        motor.insertar_fila(e.tabla, e.columnas_nueva, e.valores_nueva, e.asignada);
        const qint64 clave = motor.clave_insertada();

        // The recordset now stands on the row it added.
        if (!e.con_filas) {
            e.pagina = Resultado{};
            e.pagina.columnas = e.columnas_nueva;
            e.con_filas = true;
        }
        Resultado& a = e.anadidas;
        if (a.columnas.isEmpty()) a.columnas = e.columnas();
        QVariantList fila;
        if (a.columnas.isSharedWith(e.columnas_nueva) ||
            (a.columnas.size() == e.columnas_nueva.size() &&
             std::equal(a.columnas.cbegin(), a.columnas.cend(), e.columnas_nueva.cbegin(),
                        [](const Columna& x, const Columna& y) { return x.nombre == y.nombre; }))) {
            // The same columns in the same order, as on a recordset opened
            // only to add: the values are the row.
            fila = std::move(e.valores_nueva);
        } else {
            fila = QVariantList(a.columnas.size());
            int j_pista = 0;
            for (int i = 0; i < e.columnas_nueva.size(); ++i) {
                const int j = indice_de(a.columnas, e.columnas_nueva.at(i).nombre, j_pista);
                if (j >= 0) fila[j] = e.valores_nueva[i];
            }
        }
        const bool claves_completas = a.claves.size() == a.filas.size();
        a.filas << std::move(fila);
        if (claves_completas && clave >= 0) a.claves << clave;
        e.fila = e.filas() - 1;
        e.nueva = false;
        e.columnas_nueva.clear();
        e.valores_nueva.clear();
        e.asignada.clear();
        return;
    }
    if (e.cambios.isEmpty()) return;
    int f = 0;
    Resultado* r = e.actual(f);
    if (!r) throw sin_fila();
    qsizetype escritas = 0;
    escribir_cambios(motor, e.tabla, *r, {f}, e.cambios, escritas);
    e.cambios.clear();
}

void Recordset::guardar_filas(const QVector<qint64>& posiciones, const QString& nombre, const QVariant& valor)
{
    if (!e_->abierto) throw cerrado();
    if (posiciones.isEmpty()) return;
    if (e_->nueva || !e_->cambios.isEmpty()) guardar();
    Estado& e = *e_;
    e.asegurar_filas();
    const qint64 aqui = e.fila;
    for (qint64 p : posiciones)
        if (p < 0 || p >= e.filas()) throw sin_fila();
    // The change as asignar() makes it on the first row: the column it
    // finds, the value converted to its type.
    e.fila = posiciones.first();
    asignar(nombre, valor);
    const QMap<int, QVariant> cambios = std::exchange(e.cambios, {});

    // Rows of one block held in memory go to the engine together; a row in
    // another page is reached only after them, since reading that page
    // takes the place of this one.
    Backend& motor = e.conexion.backend();
    Resultado* bloque = nullptr;
    QVector<int> juntas;      // rows of `bloque`
    QVector<qint64> lugares;  // and their positions
    auto escribir = [&] {
        if (juntas.isEmpty()) return;
        qsizetype escritas = 0;
        try {
            escribir_cambios(motor, e.tabla, *bloque, juntas, cambios, escritas);
        } catch (...) {
            e.fila = lugares[qMin(escritas, lugares.size() - 1)];
            throw;
        }
        juntas.clear();
        lugares.clear();
    };
    QSet<qint64> vistas;  // a row listed again gets the change once
    for (qint64 p : posiciones) {
        if (vistas.contains(p)) continue;
        vistas.insert(p);
        if (!juntas.isEmpty() && !e.en(bloque, p)) escribir();
        int i = 0;
        e.fila = p;
        Resultado* r = nullptr;
        try {
            r = e.actual(i);  // a row another program deleted fails here
        } catch (...) {
            escribir();  // the rows before it are written, as one by one
            e.fila = p;
            throw;
        }
        bloque = r;
        juntas << i;
        lugares << p;
    }
    escribir();
    e.fila = aqui;
}

qint64 Recordset::posicion()
{
    if (!e_->abierto) throw cerrado();
    e_->asegurar_filas();
    return e_->fila;
}

void Recordset::ir_a(qint64 posicion)
{
    if (!e_->abierto) throw cerrado();
    if (e_->nueva || !e_->cambios.isEmpty()) guardar();
    e_->asegurar_filas();
    if (posicion < 0 || posicion > e_->filas()) throw sin_fila();
    e_->fila = posicion;
}
