// TAP and hub at the pins: IDCODE, BYPASS, instruction capture, resets,
// and the hub's framed bus access to two cores (bursts, fixed address,
// several headers in one scan).
`timescale 1ns/1ps
module tb_busram (input wire tck, input wire sel, input wire [15:0] addr, input wire [31:0] wdata,
                  input wire we, input wire re, output reg [31:0] rdata);
  reg [31:0] mem [0:63];
  integer i;
  initial for (i = 0; i < 64; i = i + 1) mem[i] = 32'hEEEE_0000 + i;
  always @(posedge tck) begin
    if (sel && we) mem[addr[5:0]] <= wdata;
    if (sel && re) rdata <= mem[addr[5:0]];
  end
endmodule

module tb_hub;
  reg tck = 0, tms = 1, tdi = 0, trst_n = 0;
  wire tdo;
  `include "jtag_tasks.vh"

  wire h_tdi, h_cap, h_sh, h_upd, h_sel, h_rst, h_tdo;
  ona_tap #(.IDCODE(32'h1234_5679)) tap (.tck(tck), .tms(tms), .tdi(tdi), .trst_n(trst_n), .tdo(tdo),
    .hub_tdi(h_tdi), .hub_capture(h_cap), .hub_shift(h_sh), .hub_update(h_upd), .hub_sel(h_sel),
    .hub_reset(h_rst), .hub_tdo(h_tdo));
  wire [1:0] bsel;
  wire [15:0] baddr;
  wire [31:0] bwdata;
  wire bwe, bre;
  wire [63:0] brdata;
  ona_hub #(.N_CORES(2)) hub (.tck(tck), .tdi(h_tdi), .tdo(h_tdo), .capture(h_cap), .shift(h_sh),
    .update(h_upd), .sel(h_sel), .reset(h_rst), .bus_sel(bsel), .bus_addr(baddr), .bus_wdata(bwdata),
    .bus_we(bwe), .bus_re(bre), .bus_rdata(brdata));
  tb_busram c0 (.tck(tck), .sel(bsel[0]), .addr(baddr), .wdata(bwdata), .we(bwe), .re(bre), .rdata(brdata[31:0]));
  tb_busram c1 (.tck(tck), .sel(bsel[1]), .addr(baddr), .wdata(bwdata), .we(bwe), .re(bre), .rdata(brdata[63:32]));

  integer k;
  reg [3:0] cap;
  reg [31:0] w;

  initial begin
    #25 trst_n = 1;
    // After TRST, IDCODE is the instruction: a DR scan returns it.
    jtag_clocks(1'b0, 1);
    jw_in[0] = 32'hFFFF_FFFF;
    jtag_dr(32);
    check_eq(jw_out[0], 32'h1234_5679, "IDCODE after TRST");

    // BYPASS: one-bit register, the stream comes back one bit late after a 0.
    jtag_ir(4'b1111, cap);
    check_eq(cap, 4'b0001, "instruction register captures 0001");
    jw_in[0] = 32'hC3A5_0F1E;
    jw_in[1] = 32'h0000_00FF;
    jtag_dr(40);
    check_eq({jw_out[1][7:0], jw_out[0]}, {jw_in[1][6:0], jw_in[0], 1'b0}, "BYPASS delays by one bit");
    // Unused codes act as BYPASS.
    jtag_ir(4'b0101, cap);
    jw_in[0] = 32'h0000_0003;
    jtag_dr(3);
    check_eq(jw_out[0][2:0], 3'b110, "unused instruction is BYPASS");
    // Test-Logic-Reset by TMS selects IDCODE again.
    jtag_reset;
    jtag_dr(32);
    check_eq(jw_out[0], 32'h1234_5679, "IDCODE after TMS reset");

    jtag_ir(4'b0010, cap);
    // First frame returns the hub word; a burst write, then a burst read.
    for (k = 0; k < 8; k = k + 1) jw_in[k + 1] = 32'hA000_0000 + k * 32'h0101_0101;
    hub_write(6'd0, 16'd3, 1'b1, 8);
    check_eq(jw_out[0], 32'h0A4B_0102, "hub word: magic, protocol 1, 2 cores");
    check_eq(jw_out[1], hub_header(6'd0, 16'd3, 1'b1, 1'b1, 8'd0), "write header echoed");
    check_eq(jw_out[2], 32'hA000_0000, "write frame echoed");
    for (k = 0; k < 8; k = k + 1) jw_in[k + 1] = 32'h5000_0000 + k;
    hub_write(6'd1, 16'd3, 1'b1, 8);
    hub_read(6'd0, 16'd2, 1'b1, 10);
    for (k = 0; k < 8; k = k + 1)
      check_eq(jw_out[k + 3], 32'hA000_0000 + k * 32'h0101_0101, "burst read of core 0");
    check_eq({c0.mem[2], c0.mem[11]}, {32'hEEEE_0002, 32'hEEEE_000B}, "burst writes stay inside their range");
    hub_read(6'd1, 16'd3, 1'b1, 8);
    for (k = 0; k < 8; k = k + 1) check_eq(jw_out[k + 2], 32'h5000_0000 + k, "burst read of core 1");

    // Fixed address: the last write wins, reads repeat.
    jw_in[1] = 32'h1; jw_in[2] = 32'h2; jw_in[3] = 32'h3;
    hub_write(6'd1, 16'd40, 1'b0, 3);
    hub_read(6'd1, 16'd40, 1'b0, 3);
    check_eq({jw_out[2], jw_out[3], jw_out[4]}, {32'h3, 32'h3, 32'h3}, "fixed-address write and read");

    // Several headers in one scan: counted frames, then the next header.
    jw_in[0] = hub_header(6'd0, 16'd50, 1'b1, 1'b1, 8'd2);
    jw_in[1] = 32'hDEAD_0001;
    jw_in[2] = 32'hDEAD_0002;
    jw_in[3] = hub_header(6'd1, 16'd4, 1'b0, 1'b1, 8'd1);
    jw_in[4] = 32'h0;
    jw_in[5] = hub_header(6'd0, 16'd50, 1'b0, 1'b1, 8'd2);
    jw_in[6] = 32'h0;
    jw_in[7] = 32'h0;
    jw_in[8] = hub_header(6'd0, 16'd0, 1'b0, 1'b0, 8'd1);
    jtag_dr(32 * 9);
    check_eq(jw_out[3], 32'hDEAD_0002, "chained: second write echoed");
    check_eq(jw_out[4], jw_in[3], "chained: second header echoed");
    check_eq(jw_out[5], 32'h5000_0001, "chained: read from core 1");
    check_eq(jw_out[7], 32'hDEAD_0001, "chained: read back first write");
    check_eq(jw_out[8], 32'hDEAD_0002, "chained: read back second write");
    check_eq(c0.mem[52], 32'hEEEE_0034, "chained: counted write stops after its frames");

    // An absent core reads 0 and takes no writes.
    reg_wr(6'd5, 16'd3, 32'hFFFF_FFFF);
    reg_rd(6'd5, 16'd3, w);
    check_eq(w, 32'h0, "absent core reads 0");
    reg_rd(6'd0, 16'd3, w);
    check_eq(w, 32'hA000_0000, "absent core's write went nowhere");

    // TRST in the middle of a scan leaves the hub ready for a new one.
    jtag_step(1'b1, 1'b0, cap[0]);
    jtag_step(1'b0, 1'b0, cap[0]);
    jtag_step(1'b0, 1'b0, cap[0]);
    jtag_clocks(1'b0, 7);
    trst_n = 0;
    #5 trst_n = 1;
    jtag_clocks(1'b0, 1);
    jtag_ir(4'b0010, cap);
    reg_rd(6'd1, 16'd10, w);
    check_eq(w, 32'h5000_0007, "hub works after TRST mid-scan");
    check_eq(jw_out[0], 32'h0A4B_0102, "hub word after TRST mid-scan");
    finish_tb;
  end
endmodule
