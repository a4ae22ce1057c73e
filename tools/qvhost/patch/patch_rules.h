// The rules a patch file follows, read from the JSON Schema that documents
// them (docs/patch.schema.json, compiled in), so that what run accepts and
// what the page describes cannot drift apart.
#pragma once

#include "io/json_source.h"

namespace qvhost {

// The compiled-in patch schema.
const Json& patchSchema();

// Checks `source` against `schema` (the subset of JSON Schema the patch
// schema uses: type, properties, additionalProperties, required,
// minProperties, items, minItems, maxItems, minimum, maximum,
// exclusiveMinimum, pattern, anyOf, $ref into $defs). Throws Failure at the
// first value that breaks a rule, with its line, column and key path.
void checkAgainstSchema(const JsonSource& source, const Json& schema);

}  // namespace qvhost
