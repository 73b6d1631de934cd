#pragma once
// The values last found by text, in front of a hash keyed by text: the link
// runs the same statement texts over and over, and hashing a long text costs
// more than the rest of the lookup. An entry holds its text, so while it is
// there no other text can take the address of its characters: the same
// address and length is the same text, with nothing compared. The values
// are pointers into the hash behind, so anything added to that hash must
// forget the memo.
#include <QString>
#include <array>

template <typename V, int N = 16>
class MemoTexto {
public:
    V* buscar(const QString& texto) const
    {
        const Entrada& e = entradas_[ranura(texto)];
        return e.valor && e.texto.constData() == texto.constData() && e.texto.size() == texto.size() ? e.valor
                                                                                                     : nullptr;
    }
    void recordar(const QString& texto, V* valor) { entradas_[ranura(texto)] = {texto, valor}; }
    void olvidar() { entradas_.fill({}); }

private:
    struct Entrada {
        QString texto;
        V* valor = nullptr;
    };
    static size_t ranura(const QString& texto) { return (quintptr(texto.constData()) >> 4) % N; }
    std::array<Entrada, N> entradas_;
};
