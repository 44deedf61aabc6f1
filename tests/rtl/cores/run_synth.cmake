# Generic Yosys synthesis of the demo cores behind TAP and hub. The sample
# memories must stay memories (a dual-clock RAM each): mapped to flip-flops
# they would cost a quarter of a million of them.
#   cmake -DYOSYS=... -DRTL_DIR=... -DTOP=demo_cores.v -DWORK=... -P run_synth.cmake
file(GLOB rtl ${RTL_DIR}/*.v)
list(SORT rtl)
string(REPLACE ";" " " rtl_files "${rtl}")
file(MAKE_DIRECTORY ${WORK})
set(script "read_verilog ${rtl_files} ${TOP}
synth -top demo_cores -run begin:fine
opt -fast -full
techmap
opt -fast
abc -fast
opt -fast
check -assert
tee -o ${WORK}/demo_cores.stat stat
")
file(WRITE ${WORK}/demo_cores.ys "${script}")
execute_process(COMMAND ${YOSYS} -q -s ${WORK}/demo_cores.ys RESULT_VARIABLE rc
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "yosys failed")
endif()
file(READ ${WORK}/demo_cores.stat stat)
string(REGEX MATCH "=== design hierarchy ===.*" total "${stat}")
string(REGEX MATCH "\\$mem_v2 +([0-9]+)" mems "${total}")
if(NOT CMAKE_MATCH_1 EQUAL 4)
  message(FATAL_ERROR "expected 4 inferred memories (two per analyzer), found '${mems}'")
endif()
message("${total}")
