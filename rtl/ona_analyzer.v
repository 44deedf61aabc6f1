// Logic analyzer core.
`default_nettype none
module ona_analyzer #(
    parameter integer SAMPLE_WIDTH = 8,
    parameter integer DEPTH_MIN = 64,
    parameter integer DEPTH_MAX = 1024,
    parameter integer CAPACITY = 0,
    parameter integer MAX_TRIGGERS = 1,
    parameter integer FINAL_COUNTER_MAX = 1,
    parameter integer N_UNITS = 1,
    parameter [N_UNITS*16-1:0] UNIT_WIDTHS = 16'd8,
    parameter [N_UNITS*16-1:0] UNIT_SERIAL = 16'd0,
    parameter integer UNIT_IN_WIDTH = 8,
    parameter integer N_EXPRS = 1,
    parameter [31:0] HASH = 32'h0)
  (input wire clk, input wire rst,
   input wire [SAMPLE_WIDTH-1:0] probe,
   input wire [UNIT_IN_WIDTH-1:0] unit_in,
   input wire tck, input wire bus_sel, input wire [15:0] bus_addr, input wire [31:0] bus_wdata,
   input wire bus_we, input wire bus_re, output wire [31:0] bus_rdata);
  // Body not written yet: reads return 0.
  assign bus_rdata = 32'h0;
endmodule
`default_nettype wire
