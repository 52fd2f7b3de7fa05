#include "encoder/pageBody.h"

#include <memory>

#include "encoder/argumentStore.h"

namespace corvane {

pageBody::pageBody(const pageGeometry& page, byteSink& output)
    : commands(std::make_shared<const argumentStore>(optionMap{}), output), transfer(page, commands, output) {}

}  // namespace corvane
