// Builds the STAPL programs that count the chain's devices and read their IDCODEs.
#include "driver/firmware/flow/discoveryscripts.h"

namespace zor::firmware {
namespace {

// 800 hexadecimal digits are 3200 bits. Built on use: the library has no dynamic initialisers.
std::string AllOnes() { return std::string(800, 'F'); }
// All ones but the lowest 16 bits: a bypassed device captures 0, so the count is the number of
// zeros before the first one of the pattern.
std::string Patterns() { return std::string(796, 'F') + "4321"; }

std::string DataBlock(bool withIdcode) {
  std::string text =
      "DATA data_chain;"
      "INTEGER max_num_devices = 100;"
      "INTEGER max_ir_length = 1020;"
      "INTEGER max_idlength = max_num_devices * 32;"
      "BOOLEAN all_ones[3200] = $" +
      AllOnes() +
      ";"
      "BOOLEAN patterns[3200] = $" +
      Patterns() +
      ";"
      "INTEGER num_devices = max_num_devices;"
      "BOOLEAN ir_capture[max_ir_length];"
      "BOOLEAN read_data[2 * max_ir_length];";
  if (withIdcode) {
    // The upper 1020 bits ones, the lower 1020 zeros: 255 digits each.
    text += "BOOLEAN zeros_ones[2040] = $" + std::string(255, 'F') + std::string(255, '0') +
            ";"
            "BOOLEAN id_capture[3200] = $" +
            AllOnes() +
            ";"
            "INTEGER ir_length = 0;"
            "INTEGER i_device;"
            "INTEGER cmpt;"
            "INTEGER offset = 0;"
            "INTEGER dwIdCode;";
  }
  return text + "ENDDATA;";
}

std::string CountProcedure() {
  return "PROCEDURE compute_number_of_devices USES data_chain;"
         "INTEGER bit_index;"
         "BOOLEAN seen_one = 0;"
         "STATE RESET;"
         "IRSCAN max_ir_length, all_ones[max_ir_length - 1..0];"
         "DRSCAN 117, patterns[116..0], CAPTURE read_data[116..0];"
         "num_devices = 0;"
         "FOR bit_index = 0 TO max_num_devices - 1;"
         "IF read_data[bit_index] THEN seen_one = 1;"
         "IF !seen_one THEN num_devices = num_devices + 1;"
         "NEXT bit_index;"
         "PRINT \"Nombre device: \", num_devices;"
         "IF num_devices == 0 || num_devices > max_num_devices THEN EXIT 2;"
         "ENDPROC;";
}

}  // namespace

std::string DeviceCountScript() {
  return "ACTION read_idcode = compute_number_of_devices RECOMMENDED;" + DataBlock(false) +
         CountProcedure() + "CRC 9955;";
}

std::string IdCodeScript() {
  return "ACTION read_idcode = compute_number_of_devices RECOMMENDED, compute_ir_length "
         "RECOMMENDED, read_the_idcode RECOMMENDED;" +
         DataBlock(true) + CountProcedure() +
         "PROCEDURE compute_ir_length USES data_chain;"
         "STATE RESET;"
         "IRSCAN 2040, zeros_ones[2039..0], CAPTURE read_data[2039..0];"
         "ir_length = 0;"
         "FOR cmpt = 1020 TO 2039;"
         "IF !read_data[cmpt] THEN ir_length = ir_length + 1;"
         "NEXT cmpt;"
         "PRINT \"Register Length: \", ir_length;"
         "ENDPROC;"
         "PROCEDURE read_the_idcode USES data_chain;"
         "BOOLEAN has_id;"
         "STATE RESET;"
         "DRSCAN 3200, all_ones[3199..0], CAPTURE id_capture[3199..0];"
         "offset = 0;"
         "FOR i_device = 1 TO num_devices;"
         "has_id = id_capture[offset];"
         "dwIdCode = 0;"
         "IF has_id THEN dwIdCode = INT(id_capture[offset + 31..offset]);"
         "PRINT \"Numero du device: \", i_device, \" Id code: \", dwIdCode;"
         "IF has_id THEN offset = offset + 32;"
         "IF !has_id THEN offset = offset + 1;"
         "NEXT i_device;"
         "ENDPROC;"
         "CRC 9955;";
}

}  // namespace zor::firmware
