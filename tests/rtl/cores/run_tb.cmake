# Compiles one testbench with Icarus Verilog and runs it; passes only when
# the simulation exits 0 and printed PASS.
#   cmake -DIVERILOG=... -DVVP=... -DTB=tb_x.v -DRTL_DIR=... -DWORK=... -P run_tb.cmake
get_filename_component(tbdir ${TB} DIRECTORY)
get_filename_component(name ${TB} NAME_WE)
file(GLOB rtl ${RTL_DIR}/*.v)
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${IVERILOG} -g2005 -I ${tbdir} -o ${WORK}/${name}.vvp ${TB} ${rtl}
                RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "iverilog failed on ${TB}")
endif()
execute_process(COMMAND ${VVP} -n ${WORK}/${name}.vvp WORKING_DIRECTORY ${WORK}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}${err}")
if(NOT rc EQUAL 0 OR NOT out MATCHES "PASS")
  message(FATAL_ERROR "${name} failed")
endif()
