// Controller core.
`default_nettype none
module ona_controller #(
    parameter integer N_LEDS = 8, parameter integer N_SWITCHES = 8,
    parameter integer MEM_AW = 10, parameter integer MEM_DW = 32,
    parameter integer N_CTRL = 1, parameter [N_CTRL*16-1:0] CTRL_WIDTHS = 16'd8,
    parameter integer CTRL_TOTAL = 8,
    parameter integer N_STAT = 1, parameter [N_STAT*16-1:0] STAT_WIDTHS = 16'd8,
    parameter integer STAT_TOTAL = 8,
    parameter [31:0] HASH = 32'h0)
  (input wire clk, input wire rst,
   input wire [N_LEDS-1:0] leds,
   output wire [N_SWITCHES-1:0] switches,
   output wire [MEM_AW-1:0] mem_addr, output wire [MEM_DW-1:0] mem_wdata, output wire mem_we,
   input wire [MEM_DW-1:0] mem_rdata,
   output wire [CTRL_TOTAL-1:0] ctrl,
   input wire [STAT_TOTAL-1:0] stat,
   input wire tck, input wire bus_sel, input wire [15:0] bus_addr, input wire [31:0] bus_wdata,
   input wire bus_we, input wire bus_re, output wire [31:0] bus_rdata);
  // Body not written yet: outputs idle, reads return 0.
  assign switches = {N_SWITCHES{1'b0}};
  assign mem_addr = {MEM_AW{1'b0}};
  assign mem_wdata = {MEM_DW{1'b0}};
  assign mem_we = 1'b0;
  assign ctrl = {CTRL_TOTAL{1'b0}};
  assign bus_rdata = 32'h0;
endmodule
`default_nettype wire
