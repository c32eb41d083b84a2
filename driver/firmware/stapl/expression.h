// Evaluation of STAPL expressions, with symbols resolved by the caller.
#pragma once

#include <cstdint>
#include <string_view>

namespace zor::firmware {

struct StaplSymbol;

// Type tags of expression values.
enum StaplType : int {
  kStaplInteger = 1,
  kStaplBoolean = 2,
  kStaplEither = 3,  // the literals 0 and 1
};

inline bool IsIntegerType(int type) { return type == kStaplInteger || type == kStaplEither; }
inline bool IsBooleanType(int type) { return type == kStaplBoolean || type == kStaplEither; }

// Finds a symbol by name under the scope rules of the run: 0, 5 (undefined) or 20 (scope).
class IStaplSymbolResolver {
 public:
  virtual ~IStaplSymbolResolver() = default;
  virtual int ResolveSymbol(std::string_view name, StaplSymbol** symbol) = 0;
};

// Evaluates one expression; value and type are written only on success (result 0).
int StaplEvaluateExpression(std::string_view text, IStaplSymbolResolver& resolver, int64_t* value,
                            int* type);

}  // namespace zor::firmware
