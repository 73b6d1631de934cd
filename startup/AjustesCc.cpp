// The link settings row of `cc` (key 'BIRO4'): the schema check that brings
// an old table up to date, the load into the settings in memory, and the
// save of the settings window.
#include "startup/Module1.h"

#include "platform/sistema/Fallo.h"
#include "platform/valores/Vb.h"

namespace {

const QString SELECCION_CC = QStringLiteral("SELECT * FROM cc WHERE ccc = 'BIRO4'");

// A switch is off when Null, the empty text or "0" (a number 0 counts as
// "0"); anything else is on.
bool encendido(const QVariant& v)
{
    if (vb::esNulo(v)) return false;
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString();
        return !(s.isEmpty() || s == QLatin1String("0"));
    }
    if (v.typeId() == QMetaType::Bool) return v.toBool();
    bool es_numero = false;
    const double n = v.toDouble(&es_numero);
    return !es_numero || n != 0;
}

// Field of the settings row, with the field named when it cannot be read.
QVariant campo_cc(Recordset& rs, const QString& nombre)
{
    try {
        return rs.campo(nombre);
    } catch (const Fallo& f) {
        throw Fallo(f.numero(), "La tabla cc no permite leer el campo " + nombre + ": " + f.descripcion());
    }
}

QString texto_cc(Recordset& rs, const QString& nombre)
{
    const QVariant v = campo_cc(rs, nombre);
    if (vb::esNulo(v))
        throw Fallo(codigo_error::USO_NO_VALIDO_DE_NULL,
                    "El campo " + nombre + " de la fila BIRO4 de la tabla cc está vacío (Null).");
    try {
        return vb::texto(v);
    } catch (const Fallo& f) {
        throw Fallo(f.numero(), "El campo " + nombre + " de la tabla cc no es un texto: " + f.descripcion());
    }
}

}  // namespace

void Module1::actualizar_cc()
{
    // Always through conexion_sql: in Access mode it is not open, the first
    // query fails with another error and nothing changes.
    static const QStringList reparaciones[2] = {
        {"ALTER TABLE cc ADD Externa BIT", "UPDATE cc SET Externa = 0", "ALTER TABLE cc ADD AAAAMM BIT",
         "UPDATE cc SET AAAAMM = 0"},
        {"ALTER TABLE cc ADD Tasa NVARCHAR(12)", "UPDATE cc SET Tasa ='475300000'"},
    };
    static const QString pruebas[2] = {"SELECT Externa FROM cc", "SELECT Tasa FROM cc"};

    rs_cc = Recordset();
    bool reparado[2] = {false, false};
    int paso = 0;
    while (paso < 2) {
        try {
            rs_cc.abrir(pruebas[paso], conexion_sql, Cursor::Dinamico, Bloqueo::SoloLectura);
            rs_cc.cerrar();
            ++paso;
        } catch (const Fallo& f) {
            rs_cc.cerrar();
            // Only a missing column is repaired, and once per step: a repair
            // that did not take must not be retried without end.
            if (f.numero() != codigo_error::ERROR_EN_COMANDO || reparado[paso]) return;
            reparado[paso] = true;
            for (const QString& sentencia : reparaciones[paso]) {
                try {
                    conexion_sql.ejecutar(sentencia);
                } catch (const Fallo& g) {
                    throw Fallo(g.numero(),
                                "No se ha podido poner al día la tabla cc (" + sentencia + "): " + g.descripcion());
                }
            }
            // The failed query runs again.
        }
    }
}

void Module1::cargar_cc()
{
    actualizar_cc();

    rs_cc = Recordset();
    rs_cc.abrir(SELECCION_CC, hotel(conexion_cc), Cursor::Dinamico, Bloqueo::SoloLectura);
    if (!rs_cc.eof()) {
        // Read everything first, then set it: a field that cannot be read
        // leaves the settings as they were.
        AjustesEnlace n;
        n.empresa = texto_cc(rs_cc, "ccEmp");
        n.diario = texto_cc(rs_cc, "ccDia");
        n.ruta_contaplus = texto_cc(rs_cc, "ccruta");
        try {
            n.digitos = vb::CInt(campo_cc(rs_cc, "ccdigitos"));
        } catch (const Fallo& f) {
            throw Fallo(f.numero(), "El campo ccdigitos de la tabla cc no es un número válido: " + f.descripcion());
        }
        n.cuenta_pasantes = texto_cc(rs_cc, "ccPas");
        n.subcuenta_agencias = texto_cc(rs_cc, "ccAge");
        n.subcuenta_empresas = texto_cc(rs_cc, "ccNa");
        n.cuenta_depositos = texto_cc(rs_cc, "ccGru");
        n.cuenta_iva = texto_cc(rs_cc, "ccIva");
        n.cuenta_ventas = texto_cc(rs_cc, "ccVta");
        n.cuenta_caja = texto_cc(rs_cc, "ccCaja");
        n.todos_pasantes = encendido(campo_cc(rs_cc, "cctodos"));
        n.separar_ventas = encendido(campo_cc(rs_cc, "ccventas"));
        n.sin_caja = !encendido(campo_cc(rs_cc, "ccop1"));
        n.separar_depositos = encendido(campo_cc(rs_cc, "ccdep"));
        n.separar_iva = encendido(campo_cc(rs_cc, "ccop2"));
        try {
            const QVariant e = campo_cc(rs_cc, "externa");
            n.externa = !vb::esNulo(e) && vb::logico(e);
            const QVariant a = campo_cc(rs_cc, "AAAAMM");
            n.pasantes_aaaamm = !vb::esNulo(a) && vb::logico(a);
        } catch (const Fallo& f) {
            if (f.numero() == codigo_error::ELEMENTO_NO_ENCONTRADO) throw;
            throw Fallo(f.numero(), "Los campos Externa y AAAAMM de la tabla cc no son lógicos: " + f.descripcion());
        }
        n.cuenta_tasa = texto_cc(rs_cc, "Tasa");
        static_cast<AjustesEnlace&>(*this) = n;
    }
    rs_cc.cerrar();
}

qint16 digitos_del_texto(const QString& texto)
{
    return vb::CInt(vb::Val(texto));
}

void Module1::guardar_cc(const AjustesEnlace& a)
{
    try {
        rs_cc.cerrar();
        rs_cc.abrir(SELECCION_CC, hotel(conexion_cc), Cursor::Dinamico, Bloqueo::Optimista);
        if (rs_cc.eof()) {
            rs_cc.nuevo();
            rs_cc.asignar("ccc", QStringLiteral("BIRO4"));
        }
        rs_cc.asignar("ccAge", a.subcuenta_agencias);
        rs_cc.asignar("ccNa", a.subcuenta_empresas);
        rs_cc.asignar("ccGru", a.cuenta_depositos);
        rs_cc.asignar("ccIva", a.cuenta_iva);
        rs_cc.asignar("ccVta", a.cuenta_ventas);
        rs_cc.asignar("ccCaja", a.cuenta_caja);
        rs_cc.asignar("ccEmp", a.empresa);
        rs_cc.asignar("ccDia", a.diario);
        rs_cc.asignar("ccop1", a.sin_caja ? 0.0 : 1.0);
        rs_cc.asignar("ccop2", a.separar_iva ? 1.0 : 0.0);
        rs_cc.asignar("ccdigitos", double(a.digitos));
        rs_cc.asignar("ccruta", a.ruta_contaplus);
        rs_cc.asignar("cctodos", a.todos_pasantes ? 1.0 : 0.0);
        rs_cc.asignar("ccventas", a.separar_ventas ? 1.0 : 0.0);
        rs_cc.asignar("ccdep", a.separar_depositos ? 1.0 : 0.0);
        rs_cc.asignar("externa", a.externa);
        rs_cc.asignar("AAAAMM", a.pasantes_aaaamm);
        rs_cc.asignar("Tasa", a.cuenta_tasa);
        rs_cc.asignar("ccPas", a.cuenta_pasantes);
        rs_cc.guardar();
        rs_cc.cerrar();
    } catch (const Fallo& f) {
        rs_cc.cerrar();
        throw Fallo(f.numero(), "No se han podido guardar los ajustes en la tabla cc: " + f.descripcion());
    }
}
