// A page's rows encoded apart from its job, for a front end that encodes
// them in another process than the one that frames the page: the same bytes
// jobEncoder sends between a page's preamble and its end for the same rows,
// the selection of delta-row compression included. The row commands need
// none of the job's settings.
#pragma once

#include "encoder/byteSink.h"
#include "encoder/pageGeometry.h"
#include "encoder/pclCommands.h"
#include "encoder/rasterData.h"

namespace corvane {

class pageBody {
public:
    // std::bad_alloc as rasterData's.
    pageBody(const pageGeometry& page, byteSink& output);

    rasterData& rows() { return transfer; }

private:
    pclCommands commands;
    rasterData transfer;
};

}  // namespace corvane
