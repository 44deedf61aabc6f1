// The demo's three cores (two analyzers, one controller) behind TAP and hub,
// with their design-side ports on the top: the unit that lint and synthesis
// check, and whose resources docs/debug-cores.md lists.
`default_nettype none
module demo_cores
  (input wire clk_uart, input wire clk_sys, input wire rst,
   input wire tck, input wire tms, input wire tdi, input wire trst_n, output wire tdo,
   input wire [16:0] uart_probe,   // rx, tx, state[2:0], bit_cnt[2:0], rx_data[7:0], rx_valid
   input wire [57:0] bus_probe,    // addr[15:0], wdata[31:0], valid, ready, beat[7:0]
   input wire [7:0] leds, output wire [7:0] switches,
   output wire [9:0] mem_addr, output wire [31:0] mem_wdata, output wire mem_we,
   input wire [31:0] mem_rdata, output wire [116:0] ctrl, input wire [108:0] stat);

  wire h_tdi, h_cap, h_sh, h_upd, h_sel, h_rst, h_tdo;
  ona_tap tap (.tck(tck), .tms(tms), .tdi(tdi), .trst_n(trst_n), .tdo(tdo),
    .hub_tdi(h_tdi), .hub_capture(h_cap), .hub_shift(h_sh), .hub_update(h_upd), .hub_sel(h_sel),
    .hub_reset(h_rst), .hub_tdo(h_tdo));
  wire [2:0] bsel;
  wire [15:0] baddr;
  wire [31:0] bwdata;
  wire bwe, bre;
  wire [95:0] brdata;
  ona_hub #(.N_CORES(3)) hub (.tck(tck), .tdi(h_tdi), .tdo(h_tdo), .capture(h_cap), .shift(h_sh),
    .update(h_upd), .sel(h_sel), .reset(h_rst), .bus_sel(bsel), .bus_addr(baddr), .bus_wdata(bwdata),
    .bus_we(bwe), .bus_re(bre), .bus_rdata(brdata));

  // units: TU_state (state), TU_data (rx_data), TU_valid (rx_valid), TU_rxword (rx, serial 8)
  wire [12:0] uart_units = {uart_probe[16], uart_probe[0], uart_probe[8:1], uart_probe[14:12]};
  ona_analyzer #(.SAMPLE_WIDTH(17), .DEPTH_MIN(256), .DEPTH_MAX(2048), .CAPACITY(0), .MAX_TRIGGERS(1),
    .FINAL_COUNTER_MAX(1), .N_UNITS(4), .UNIT_WIDTHS({16'd8, 16'd1, 16'd8, 16'd3}),
    .UNIT_SERIAL({16'd8, 16'd0, 16'd0, 16'd0}), .UNIT_IN_WIDTH(13), .N_EXPRS(2), .HASH(32'h1))
    uart_la (.clk(clk_uart), .rst(rst), .probe(uart_probe), .unit_in(uart_units), .tck(tck),
    .bus_sel(bsel[0]), .bus_addr(baddr), .bus_wdata(bwdata), .bus_we(bwe), .bus_re(bre),
    .bus_rdata(brdata[31:0]));

  // units: TU_hs (valid, ready), TU_addr (addr), TU_magic (wdata), TU_cmd (wdata[7:0])
  wire [57:0] bus_units = {bus_probe[17:10], bus_probe[41:10], bus_probe[57:42], bus_probe[9:8]};
  ona_analyzer #(.SAMPLE_WIDTH(58), .DEPTH_MIN(64), .DEPTH_MAX(1024), .CAPACITY(4096), .MAX_TRIGGERS(64),
    .FINAL_COUNTER_MAX(8), .N_UNITS(4), .UNIT_WIDTHS({16'd8, 16'd32, 16'd16, 16'd2}),
    .UNIT_SERIAL(64'd0), .UNIT_IN_WIDTH(58), .N_EXPRS(2), .HASH(32'h2))
    bus_la (.clk(clk_sys), .rst(rst), .probe(bus_probe), .unit_in(bus_units), .tck(tck),
    .bus_sel(bsel[1]), .bus_addr(baddr), .bus_wdata(bwdata), .bus_we(bwe), .bus_re(bre),
    .bus_rdata(brdata[63:32]));

  ona_controller #(.N_LEDS(8), .N_SWITCHES(8), .MEM_AW(10), .MEM_DW(32), .N_CTRL(4),
    .CTRL_WIDTHS({16'd96, 16'd16, 16'd1, 16'd4}), .CTRL_TOTAL(117), .N_STAT(4),
    .STAT_WIDTHS({16'd72, 16'd4, 16'd1, 16'd32}), .STAT_TOTAL(109), .HASH(32'h3))
    board_ctrl (.clk(clk_sys), .rst(rst), .leds(leds), .switches(switches), .mem_addr(mem_addr),
    .mem_wdata(mem_wdata), .mem_we(mem_we), .mem_rdata(mem_rdata), .ctrl(ctrl), .stat(stat),
    .tck(tck), .bus_sel(bsel[2]), .bus_addr(baddr), .bus_wdata(bwdata), .bus_we(bwe), .bus_re(bre),
    .bus_rdata(brdata[95:64]));
endmodule
`default_nettype wire
