// Placeholder until tools/gen_sjis_tables.py has written the real tables.
#include "codec/sjis_tables.h"

namespace postori {

constinit const CodeTable unicode_to_sjis_table{};
constinit const CodeTable euc_ibm_to_sjis_table{};
constinit const CodeTable sjis_to_unicode_table{};

}  // namespace postori
