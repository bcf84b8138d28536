// Placeholder until tools/gen_weights.py has written the real tables.
#include "codec/weight_tables.h"

namespace postori {

constinit const CodeTable sjis_weights{};
constinit const CodeTable euc_weights{};
constinit const CodeTable ucs_weights{};

}  // namespace postori
