#pragma once
// A recordset field read and written by its position, found by name once. The price procedures read
// the same handful of fields of thousands of matrix rows per run; looking each one up by name (an
// upper-cased copy and a hash) on every read costs more than the reads themselves. The position found
// is only trusted while the recordset's field of that position still has the name (compared without
// regard to case, as names are), so a recordset laid out otherwise is looked up again; a field that is
// missing is read by name, and fails exactly as a read by name fails.

#include <cctype>
#include <cstdint>
#include <string>

#include "platform/ado/recordset.h"
#include "platform/variant/variant.h"

namespace qmx {

class Campo {
public:
    explicit constexpr Campo(const char* nome) : nome_(nome), lunghezza_(std::char_traits<char>::length(nome)) {}
    const char* Nome() const { return nome_; }

    kv::Variant Di(kv::ado::Recordset& rs) const {
        const int i = Indice(rs);
        return i >= 0 ? rs.Value(i) : rs.Value(nome_);
    }
    // The field as plain data (Recordset::Scalars), without a Variant: false when it holds something
    // else (a Boolean, a Decimal) or is missing, and the caller reads it with Di.
    bool Scalare(kv::ado::Recordset& rs, kv::ado::Recordset::Scalar& out) const {
        const int i = Indice(rs);
        return i >= 0 && rs.Scalars(&i, 1, &out);
    }
    void Scrivi(kv::ado::Recordset& rs, const kv::Variant& v) const {
        const int i = Indice(rs);
        if (i >= 0)
            rs.SetValue(i, v);
        else
            rs.SetValue(nome_, v);
    }

private:
    static bool StessoNome(const std::string& campo, const char* nome, std::size_t lunghezza) {
        // Names are mostly written as the fields have them.
        if (campo.size() == lunghezza && campo.compare(0, lunghezza, nome, lunghezza) == 0) return true;
        size_t i = 0;
        for (; i < campo.size() && nome[i] != '\0'; ++i) {
            const auto a = static_cast<unsigned char>(campo[i]);
            const auto b = static_cast<unsigned char>(nome[i]);
            if (a != b && !(a < 0x80 && b < 0x80 && std::toupper(a) == std::toupper(b))) return false;
        }
        return i == campo.size() && nome[i] == '\0';
    }
    int Indice(kv::ado::Recordset& rs) const {
        // The rows of one recordset (and its clones) keep their fields where they are: a position found
        // in them is not checked again while the same rows are read.
        const uint64_t righe = rs.Rows().rows;
        if (indice_ >= 0 && righe != 0 && righe == righe_) return indice_;
        const auto& infos = rs.FieldInfos();
        if (indice_ >= 0 && indice_ < static_cast<int>(infos.size()) && StessoNome(infos[indice_].name, nome_, lunghezza_)) {
            righe_ = righe;
            return indice_;
        }
        indice_ = rs.GetFields().IndexOf(nome_);
        righe_ = indice_ >= 0 ? righe : 0;
        return indice_;
    }

    const char* nome_;
    std::size_t lunghezza_;
    mutable int indice_ = -1;
    mutable uint64_t righe_ = 0;  // the rows indice_ was found in (Recordset::Rows)
};

}  // namespace qmx
