#pragma once
// Windows paths of the original installation mapped onto folders of this
// machine: drive X: is the folder <raiz>/X, and every further component is
// matched without regard to case against what exists ("c:\quelmira\sp1" and
// "C:\Quelmira\VTRHSYS.MDB" share a folder). Components that do not exist yet
// keep the spelling of the Windows path, so files can be created there.
#include <QString>

class Unidades {
public:
    explicit Unidades(QString raiz = raiz_por_defecto());

    const QString& raiz() const { return raiz_; }

    // Local path of a Windows path ("C:\quelmira\cc.MDB", "c:/x", "D:" ...).
    // A path without a drive letter is taken relative to drive C:.
    QString local(const QString& ruta_windows) const;

    // The program's data folder in the user's home.
    static QString raiz_por_defecto();

private:
    QString raiz_;
};
