#include "transfer/ContaplusAbierto.h"

#include "platform/valores/Vb.h"

qint32 ContaplusAbierto::ultimo_asiento()
{
    rs_diario.cerrar();
    rs_diario.abrir("SELECT MAX(ASIEN) as ultimo FROM Xdiario", conexion_diario, Cursor::Dinamico, Bloqueo::Optimista);
    qint32 ultimo = 0;
    if (!rs_diario.eof()) {
        const QVariant v = rs_diario.campo("ultimo");
        if (!vb::esNulo(v)) ultimo = vb::CLng(v);
    }
    rs_diario.cerrar();
    return ultimo;
}

bool ContaplusAbierto::existe_cuenta(const QString& codigo)
{
    rs_empresa.cerrar();
    rs_empresa.abrir("SELECT * FROM SubCta WHERE COD = ?", conexion_empresa, Cursor::Dinamico, Bloqueo::SoloLectura,
                     {codigo});
    const bool existe = !rs_empresa.eof();
    rs_empresa.cerrar();
    return existe;
}
