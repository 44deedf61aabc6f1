// Controller cores of 1, 64, 65 and 1024 bits behind one hub, driven at the
// TAP pins: LEDs, switches, control and status registers and the user
// memory port. Two cores run on a design clock slower than TCK, two on a
// faster one.
`timescale 1ns/1ps
module tb_ctrl_mem #(parameter integer AW = 4, parameter integer DW = 8, parameter integer LATENCY = 1)
  (input wire clk, input wire [AW-1:0] addr, input wire [DW-1:0] wdata, input wire we,
   output wire [DW-1:0] rdata);
  reg [DW-1:0] mem [0:(1 << AW) - 1];
  reg [DW-1:0] q;
  always @(posedge clk) begin
    if (we) mem[addr] <= wdata;
    q <= mem[addr];
  end
  // LATENCY 0: asynchronous read; 1: registered read
  assign rdata = LATENCY ? q : mem[addr];
endmodule

module tb_controller;
  reg tck = 0, tms = 1, tdi = 0, trst_n = 0;
  wire tdo;
  `define TCK_HALF 5
  `include "jtag_tasks.vh"

  reg slow = 0, fast = 0;
  always #250 slow = ~slow;
  always #3.5 fast = ~fast;
  reg rst = 0;

  wire h_tdi, h_cap, h_sh, h_upd, h_sel, h_rst, h_tdo;
  ona_tap tap (.tck(tck), .tms(tms), .tdi(tdi), .trst_n(trst_n), .tdo(tdo),
    .hub_tdi(h_tdi), .hub_capture(h_cap), .hub_shift(h_sh), .hub_update(h_upd), .hub_sel(h_sel),
    .hub_reset(h_rst), .hub_tdo(h_tdo));
  wire [3:0] bsel;
  wire [15:0] baddr;
  wire [31:0] bwdata;
  wire bwe, bre;
  wire [127:0] brdata;
  ona_hub #(.N_CORES(4)) hub (.tck(tck), .tdi(h_tdi), .tdo(h_tdo), .capture(h_cap), .shift(h_sh),
    .update(h_upd), .sel(h_sel), .reset(h_rst), .bus_sel(bsel), .bus_addr(baddr), .bus_wdata(bwdata),
    .bus_we(bwe), .bus_re(bre), .bus_rdata(brdata));

  // Core n has width W for every path; its clock, memory latency and a
  // second control/status register of width W2 vary.
  `define CORE(n, W, MAW, W2, CLK, LAT) \
    reg [W-1:0] leds``n = 0; \
    reg [W+W2-1:0] stat``n = 0; \
    wire [W-1:0] sw``n; \
    wire [W+W2-1:0] ctrl``n; \
    wire [MAW-1:0] ma``n; \
    wire [W-1:0] mwd``n, mrd``n; \
    wire mwe``n; \
    ona_controller #(.N_LEDS(W), .N_SWITCHES(W), .MEM_AW(MAW), .MEM_DW(W), .N_CTRL(2), \
      .CTRL_WIDTHS((W2 << 16) | W), .CTRL_TOTAL(W + W2), .N_STAT(2), \
      .STAT_WIDTHS((W2 << 16) | W), .STAT_TOTAL(W + W2), .HASH(32'hA0 + n)) \
      c``n (.clk(CLK), .rst(rst), .leds(leds``n), .switches(sw``n), .mem_addr(ma``n), \
      .mem_wdata(mwd``n), .mem_we(mwe``n), .mem_rdata(mrd``n), .ctrl(ctrl``n), .stat(stat``n), \
      .tck(tck), .bus_sel(bsel[n]), .bus_addr(baddr), .bus_wdata(bwdata), .bus_we(bwe), .bus_re(bre), \
      .bus_rdata(brdata[32*n +: 32])); \
    tb_ctrl_mem #(.AW(MAW), .DW(W), .LATENCY(LAT)) m``n (.clk(CLK), .addr(ma``n), .wdata(mwd``n), \
      .we(mwe``n), .rdata(mrd``n));

  `CORE(0, 1, 4, 3, slow, 1)
  `CORE(1, 64, 4, 1, slow, 0)
  `CORE(2, 65, 3, 7, fast, 1)
  `CORE(3, 1024, 2, 1, fast, 0)

  localparam [15:0] A_CMD = 16'h10, A_STATUS = 16'h11, A_MADDR = 16'h12;

  reg [31:0] w;
  reg [3:0] cap;
  reg [1023:0] v, got;
  integer n, width, words, k, pass;

  function [1023:0] pattern;   // a width-limited pattern that differs per seed
    input integer seed;
    input integer width;
    integer j;
    begin
      pattern = 0;
      for (j = 0; j < 32; j = j + 1)
        pattern[32*j +: 32] = 32'h9E37_79B9 * (seed * 32 + j + 1) ^ (32'h5A5A_0000 + j);
      pattern = pattern & ((1024'd1 << width) - 1);
    end
  endfunction

  task write_words;   // v[width-1:0] to consecutive bus words
    input integer core;
    input [15:0] addr;
    begin
      for (k = 0; k < (width + 31) / 32; k = k + 1) jw_in[k + 1] = v[32*k +: 32];
      hub_write(core, addr, 1'b1, (width + 31) / 32);
    end
  endtask

  task read_words;    // consecutive bus words into got
    input integer core;
    input [15:0] addr;
    input integer bits;
    begin
      hub_read(core, addr, 1'b1, (bits + 31) / 32);
      got = 0;
      for (k = 0; k < (bits + 31) / 32; k = k + 1) got[32*k +: 32] = jw_out[k + 2];
    end
  endtask

  task wait_idle;
    input integer core;
    integer tries;
    begin
      tries = 0;
      reg_rd(core, A_STATUS, w);
      while (w[1:0] != 2'b00 && tries < 200) begin
        reg_rd(core, A_STATUS, w);
        tries = tries + 1;
      end
      check(w[1:0] == 2'b00, "controller idle");
    end
  endtask

  function [1023:0] design_side;   // 0 switches, 1 ctrl, 2 memory word at address 1
    input integer core;
    input integer what;
    begin
      case (core)
        0: design_side = what == 0 ? sw0 : what == 1 ? ctrl0 : m0.mem[1];
        1: design_side = what == 0 ? sw1 : what == 1 ? ctrl1 : m1.mem[1];
        2: design_side = what == 0 ? sw2 : what == 1 ? ctrl2 : m2.mem[1];
        default: design_side = what == 0 ? sw3 : what == 1 ? ctrl3 : m3.mem[1];
      endcase
    end
  endfunction

  task set_design;   // leds, status registers, memory word at address 2
    input integer core;
    input [1023:0] val;
    input [1023:0] val2;
    begin
      case (core)
        0: begin leds0 = val; stat0 = {val2[2:0], val[0]}; m0.mem[2] = val; end
        1: begin leds1 = val; stat1 = {val2[0:0], val[63:0]}; m1.mem[2] = val; end
        2: begin leds2 = val; stat2 = {val2[6:0], val[64:0]}; m2.mem[2] = val; end
        default: begin leds3 = val; stat3 = {val2[0:0], val}; m3.mem[2] = val; end
      endcase
    end
  endtask

  initial begin
    #25 trst_n = 1;
    jtag_reset;
    jtag_ir(4'b0010, cap);
    for (n = 0; n < 4; n = n + 1) begin
      width = n == 0 ? 1 : n == 1 ? 64 : n == 2 ? 65 : 1024;
      words = (width + 31) / 32;
      reg_rd(n, 16'h0000, w); check_eq(w, 32'h0DC0_0102, "controller id word");
      reg_rd(n, 16'h0001, w); check_eq(w, 32'hA0 + n, "hash");
      reg_rd(n, 16'h0005, w); check_eq(w, width, "memory width");
      reg_rd(n, 16'h0800, w); check_eq(w, width, "control register 0 width");

      for (pass = 0; pass < 2; pass = pass + 1) begin
        // LEDs and status registers: design values read back whole
        v = pattern(10 * n + pass, width);
        set_design(n, v, pattern(50 + pass, 7));
        if (n < 2) repeat (4) @(posedge slow);
        else repeat (8) @(posedge fast);
        read_words(n, 16'h0100, width);
        check_eq(got == v, 1, "LEDs read back");
        read_words(n, 16'h2000, width);
        check_eq(got == v, 1, "status register 0 read");
        if (n == 2) begin
          read_words(n, 16'h2020, 7);
          check_eq(got, pattern(50 + pass, 7), "status register 1 read");
        end

        // switches: written, committed, driven, read back
        v = pattern(20 * n + pass + 3, width);
        write_words(n, 16'h0200);
        reg_wr(n, A_CMD, 32'h1);
        wait_idle(n);
        check_eq(design_side(n, 0) == v, 1, "switches driven into the design");
        read_words(n, 16'h0200, width);
        check_eq(got == v, 1, "switches read back");

        // control register 0, then register 1 of another width
        v = pattern(30 * n + pass + 7, width);
        write_words(n, 16'h1000);
        reg_wr(n, A_CMD, 32'h1);
        wait_idle(n);
        got = design_side(n, 1);
        check_eq((got & ((1024'd1 << width) - 1)) == v, 1, "control register driven into the design");
        read_words(n, 16'h1000, width);
        check_eq(got == v, 1, "control register read back");

        // memory: write a word at address 1, read the word the design holds at 2
        v = pattern(40 * n + pass + 11, width);
        write_words(n, 16'h0300);
        reg_wr(n, A_MADDR, 1);
        reg_wr(n, A_CMD, 32'h4);
        wait_idle(n);
        check_eq(design_side(n, 2) == v, 1, "memory word written");
        reg_wr(n, A_MADDR, 2);
        reg_wr(n, A_CMD, 32'h2 | 32'h8);
        wait_idle(n);
        read_words(n, 16'h0300, width);
        check_eq(got == pattern(10 * n + pass, width), 1, "memory word read");
        reg_rd(n, A_MADDR, w);
        check_eq(w, 3, "address increments after the operation");
      end
    end

    reg_rd(2, 16'h0C01, w); check_eq(w, 7, "status register 1 width");
    reg_rd(2, 16'h0801, w); check_eq(w, 7, "control register 1 width");

    // the second control register of core 2 (7 bits) next to the first (65)
    width = 7;
    v = 7'h55;
    write_words(2, 16'h1020);
    reg_wr(2, A_CMD, 32'h1);
    wait_idle(2);
    check_eq(ctrl2[71:65], 7'h55, "control register 1 in its bits");
    check_eq(ctrl2[64:0] == pattern(30 * 2 + 1 + 7, 65), 1, "control register 0 unchanged");

    // a commit while another is in flight goes out after it; a memory
    // command while one runs is refused and flagged
    jw_in[0] = hub_header(6'd0, 16'h0200, 1'b1, 1'b0, 8'd1);
    jw_in[1] = 32'h1;
    jw_in[2] = hub_header(6'd0, A_CMD, 1'b1, 1'b0, 8'd1);
    jw_in[3] = 32'h1;
    jw_in[4] = hub_header(6'd0, 16'h0200, 1'b1, 1'b0, 8'd1);
    jw_in[5] = 32'h0;
    jw_in[6] = hub_header(6'd0, A_CMD, 1'b1, 1'b0, 8'd2);
    jw_in[7] = 32'h1;
    jw_in[8] = 32'h2;
    jw_in[9] = hub_header(6'd0, A_CMD, 1'b1, 1'b0, 8'd1);
    jw_in[10] = 32'h2;
    jtag_dr(32 * 11);
    wait_idle(0);
    check_eq(sw0, 1'b0, "the later commit wins");
    reg_rd(0, A_STATUS, w);
    check(w[2], "memory command while busy flags an overrun");
    reg_wr(0, A_CMD, 32'h10);
    reg_rd(0, A_STATUS, w);
    check(!w[2], "overrun cleared");

    // a memory operation waits while the design is in reset
    width = 1;
    v = 1;
    write_words(0, 16'h0300);
    reg_wr(0, A_MADDR, 5);
    @(negedge slow) rst = 1;
    reg_wr(0, A_CMD, 32'h4);
    repeat (10) @(posedge slow);
    reg_rd(0, A_STATUS, w);
    check(w[1], "memory operation held during reset");
    check(m0.mem[5] !== 1'b1, "no write during reset");
    rst = 0;
    wait_idle(0);
    check_eq(m0.mem[5], 1'b1, "memory written after reset");
    finish_tb;
  end
endmodule
