# Generic Yosys synthesis of the demo cores behind TAP and hub. The sample
# memories must stay memories (dual-clock RAMs): mapped to flip-flops they
# would cost a quarter of a million of them.
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
# flip-flops of the whole design: a few thousand, unless memories were lost
string(REGEX MATCHALL "\\$_S?DFF[A-Z0-9_]* +[0-9]+" ffs "${total}")
set(nff 0)
foreach(line IN LISTS ffs)
  string(REGEX MATCH "[0-9]+$" n "${line}")
  math(EXPR nff "${nff} + ${n}")
endforeach()
if(nff EQUAL 0 OR nff GREATER 10000)
  message(FATAL_ERROR "${nff} flip-flops: the sample memories were not kept as memories")
endif()
message("flip-flops: ${nff}")
message("${total}")
