#pragma once
// The composite option code: 20 characters, one fixed-width segment per variant of the company in
// variant code order. This is where a level's segment is found, a matrix row's code is composed from
// the preset option and the row's options, and where the lookup and decode queries of a level's
// options are written.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "schema/price_list_parameters.h"
#include "platform/variant/variant.h"
#include "variants/cinfolivello.h"

namespace qmx::variants {

inline constexpr int kLunghezzaOpzione = 20;

// s with seg written from the 1-based position start on, replacing exactly seg's length of characters;
// the length of s does not change. A segment ending beyond the end of s raises 5, with the description
// prefixed by "SostituisciLivello:" and CR LF.
std::string SostituisciLivello(std::string_view s, std::string_view seg, int start);

// The option code of a matrix row: preset cut or padded with blanks to 20 characters, each grid
// segment of livelli written from opz1 (first level) or opz2 (second level). Errors raised again
// prefixed with "OpzioneCalcolata:" and CR LF.
std::string OpzioneCalcolata(std::string_view preset, const std::vector<std::shared_ptr<CInfoLivello>>& livelli,
                             std::string_view opz1, std::string_view opz2);

// Segment positions and the option queries of the company's grid levels. Every operation raises on
// database errors; the driver traps them.
class OptionCode {
public:
    OptionCode(schema::DriverCore& core, const std::string& cod_articolo) : core_(core), cod_articolo_(cod_articolo) {}

    int16_t GetStart(int16_t tipo_griglia);
    int16_t GetStart1Liv();
    int16_t GetStart2Liv();
    int16_t GetLen(int16_t tipo_griglia);
    int16_t GetLen1Liv();
    int16_t GetLen2Liv();
    kv::Variant GetSegmento(int16_t ind_griglia);
    std::string GetSqlLkpSegmenti(int16_t ind_griglia);
    std::string GetSqlDecSegmenti(std::string_view opzione, int16_t ind_griglia);
    std::string CodiceVarianteLivello(int16_t ind_griglia);
    std::string RaggruppamentoArticolo(int16_t ind_griglia);

private:
    int16_t StartOf(std::string_view level_condition);
    int16_t LengthOf(std::string_view level_condition);

    schema::DriverCore& core_;
    const std::string& cod_articolo_;
};

}  // namespace qmx::variants
