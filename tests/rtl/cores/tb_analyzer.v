// The analyzer core through TAP and hub at the pins, with its sample clock
// unrelated to TCK. The design side is a 16-bit counter that the bench can
// freeze: a capture is armed while the counter stands on a value where the
// condition is false, then the counter runs and the first sample that meets
// the condition is known in advance.
`timescale 1ns/1ps
module tb_analyzer;
  reg tck = 0, tms = 1, tdi = 0, trst_n = 0;
  wire tdo;
  `define TCK_HALF 5
  `include "jtag_tasks.vh"

  reg clk = 0;
  always #4.1 clk = ~clk;
  reg rst = 1;

  // design side: sample n is the counter's value in clock cycle n after reset
  reg [15:0] cnt = 16'd0;
  reg run_cnt = 1'b1;
  integer tb_t = 0;
  integer t_of [0:65535];   // the last cycle at which the counter showed a value
  always @(posedge clk) begin
    if (rst) begin
      cnt <= 16'd0;
      tb_t <= 0;
    end else begin
      if (run_cnt) cnt <= cnt + 16'd1;
      t_of[cnt] <= tb_t;
      tb_t <= tb_t + 1;
    end
  end
  // serial stream: byte k = k[7:0], sent most significant bit first in cycles 8k..8k+7
  wire [15:0] k8 = cnt >> 3;
  wire ser = k8[7 - cnt[2:0]];
  wire [39:0] probe = {cnt[7:0], cnt ^ 16'hBEEF, cnt};
  wire [20:0] unit_in = {ser, cnt[3:0], cnt};

  wire h_tdi, h_cap, h_sh, h_upd, h_sel, h_rst, h_tdo;
  ona_tap tap (.tck(tck), .tms(tms), .tdi(tdi), .trst_n(trst_n), .tdo(tdo),
    .hub_tdi(h_tdi), .hub_capture(h_cap), .hub_shift(h_sh), .hub_update(h_upd), .hub_sel(h_sel),
    .hub_reset(h_rst), .hub_tdo(h_tdo));
  wire [0:0] bsel;
  wire [15:0] baddr;
  wire [31:0] bwdata, brdata;
  wire bwe, bre;
  ona_hub #(.N_CORES(1)) hub (.tck(tck), .tdi(h_tdi), .tdo(h_tdo), .capture(h_cap), .shift(h_sh),
    .update(h_upd), .sel(h_sel), .reset(h_rst), .bus_sel(bsel), .bus_addr(baddr), .bus_wdata(bwdata),
    .bus_we(bwe), .bus_re(bre), .bus_rdata(brdata));
  ona_analyzer #(.SAMPLE_WIDTH(40), .DEPTH_MIN(16), .DEPTH_MAX(64), .CAPACITY(256), .MAX_TRIGGERS(8),
    .FINAL_COUNTER_MAX(8), .N_UNITS(3), .UNIT_WIDTHS({16'd8, 16'd4, 16'd16}),
    .UNIT_SERIAL({16'd8, 16'd0, 16'd0}), .UNIT_IN_WIDTH(21), .N_EXPRS(2), .HASH(32'hC0DE_1234))
    la (.clk(clk), .rst(rst), .probe(probe), .unit_in(unit_in), .tck(tck), .bus_sel(bsel[0]),
    .bus_addr(baddr), .bus_wdata(bwdata), .bus_we(bwe), .bus_re(bre), .bus_rdata(brdata));

  localparam [3:0] EQ = 0, NE = 1, LT = 2, LE = 3, GT = 4, GE = 5, RISE = 6, FALL = 7, ANY = 8,
                   IN = 9, OUT = 10, NEVER = 15;
  localparam [15:0] A_CMD = 16'h10, A_SAMPLES = 16'h11, A_NTRIG = 16'h12, A_POS = 16'h13,
                    A_AND = 16'h14, A_FINAL = 16'h15, A_STATUS = 16'h18, A_FRAMES = 16'h19,
                    A_STORED = 16'h1A;

  reg [31:0] w;
  reg [3:0] cap;
  integer k, f, i;

  task freeze_at;
    input [15:0] v;
    begin
      @(negedge clk);
      run_cnt = 1'b0;
      cnt = v;
    end
  endtask

  task set_unit;
    input integer u;
    input [3:0] op;
    input [15:0] val;
    input [15:0] msk;
    input [15:0] hi;
    begin
      reg_wr(0, 16'h1000 + u * 16'h80, {28'd0, op});
      reg_wr(0, 16'h1020 + u * 16'h80, {16'd0, val});
      reg_wr(0, 16'h1040 + u * 16'h80, {16'd0, msk});
      reg_wr(0, 16'h1060 + u * 16'h80, {16'd0, hi});
    end
  endtask

  // Expression e: enable and step count.
  task set_expr;
    input integer e;
    input en;
    input [4:0] nsteps;
    begin
      reg_wr(0, 16'h2000 + e * 16'h400, {en, 26'd0, nsteps});
    end
  endtask

  // Step s of expression e: its count and terms 0 and 1 (care, value over units).
  task set_step;
    input integer e;
    input integer s;
    input [15:0] count;
    input [3:0] terms;
    input [2:0] care0, val0, care1, val1;
    begin
      reg_wr(0, 16'h2010 + e * 16'h400 + s, {16'd0, count});
      reg_wr(0, 16'h2020 + e * 16'h400 + s, {28'd0, terms});
      reg_wr(0, 16'h2200 + e * 16'h400 + 2 * s, {29'd0, care0});
      reg_wr(0, 16'h2201 + e * 16'h400 + 2 * s, {29'd0, val0});
      reg_wr(0, 16'h2220 + e * 16'h400 + 2 * s, {29'd0, care1});
      reg_wr(0, 16'h2221 + e * 16'h400 + 2 * s, {29'd0, val1});
    end
  endtask

  task options;
    input integer samples;
    input integer ntrig;
    input integer pos;
    input and_all;
    input integer final_n;
    begin
      reg_wr(0, A_SAMPLES, samples);
      reg_wr(0, A_NTRIG, ntrig);
      reg_wr(0, A_POS, pos);
      reg_wr(0, A_AND, {31'd0, and_all});
      reg_wr(0, A_FINAL, final_n);
    end
  endtask

  task all_units_never;
    begin
      for (k = 0; k < 3; k = k + 1) reg_wr(0, 16'h1000 + k * 16'h80, NEVER);
      set_expr(1, 1'b0, 5'd1);
    end
  endtask

  // One unit alone as expression 0.
  task only_unit;
    input integer u;
    begin
      set_expr(0, 1'b1, 5'd1);
      set_step(0, 0, 16'd1, 4'b0001, 3'd1 << u, 3'd1 << u, 3'd0, 3'd0);
    end
  endtask

  task wait_status;   // until (status & mask) == want, or give up
    input [31:0] mask;
    input [31:0] want;
    integer n;
    begin
      n = 0;
      reg_rd(0, A_STATUS, w);
      while ((w & mask) != want && n < 2000) begin
        repeat (20) @(posedge clk);
        reg_rd(0, A_STATUS, w);
        n = n + 1;
      end
      check((w & mask) == want, "status reached");
    end
  endtask

  // Arm with the counter frozen; let it run once the trigger side is armed
  // past its pre-trigger fill; wait until done.
  task arm_run;
    begin
      reg_wr(0, A_CMD, 32'd1);
      wait_status(32'h81, 32'h81);
      @(negedge clk) run_cnt = 1'b1;
      wait_status(32'h105, 32'h004);
    end
  endtask

  // Frame f of `samples` samples at position `pos`: its record must name
  // sample `want` at the trigger, and the frame must hold consecutive counter
  // values around it (from sample `first` on: before it the counter stood).
  reg [47:0] ts;
  reg [31:0] start;
  reg [15:0] c;
  task check_frame;
    input integer fr;
    input integer samples;
    input integer pos;
    input [15:0] want;
    input integer first;
    input [8*40-1:0] what;
    begin
      hub_read(0, 16'h6000 + 4 * fr, 1'b1, 3);
      ts = {jw_out[3][15:0], jw_out[2]};
      start = jw_out[4];
      hub_read(0, 16'h8000 + 2 * fr * samples, 1'b1, 2 * samples);
      c = jw_out[2 + 2 * ((start + pos) % samples)][15:0];
      check_eq(c, want, what);
      check_eq(ts, t_of[want], "time stamp is the trigger sample's cycle");
      for (i = first; i < samples; i = i + 1) begin
        c = want - pos + i;
        check_eq({jw_out[3 + 2 * ((start + i) % samples)], jw_out[2 + 2 * ((start + i) % samples)]},
                 {24'd0, c[7:0], c ^ 16'hBEEF, c}, "frame holds consecutive samples");
      end
    end
  endtask

  task op_case;
    input integer u;
    input [3:0] op;
    input [15:0] val, msk, hi, frz, want;
    input [8*40-1:0] what;
    begin
      all_units_never;
      set_unit(u, op, val, msk, hi);
      only_unit(u);
      options(16, 1, 2, 1'b0, 1);
      freeze_at(frz);
      arm_run;
      check_frame(0, 16, 2, want, 2, what);
    end
  endtask

  initial begin
    repeat (3) @(posedge clk);
    #1 rst = 0;
    #25 trst_n = 1;
    jtag_reset;
    jtag_ir(4'b0010, cap);

    // self-description
    reg_rd(0, 16'h0000, w); check_eq(w, 32'h0DC0_0101, "analyzer id word");
    reg_rd(0, 16'h0001, w); check_eq(w, 32'hC0DE_1234, "hash");
    reg_rd(0, 16'h0002, w); check_eq(w, 40, "sample width");
    reg_rd(0, 16'h0005, w); check_eq(w, 256, "capacity");
    reg_rd(0, 16'h1100, w); check_eq(w, {4'd15, 11'd0, 1'b1, 16'd8}, "unit 2: serial, 8 bits");
    reg_rd(0, 16'h1080, w); check_eq(w, {4'd15, 11'd0, 1'b0, 16'd4}, "unit 1: parallel, 4 bits");

    // every operator, with don't-care bits, edge masks and the serial unit
    op_case(0, EQ, 16'h1234, 16'hFF0F, 0, 16'h0000, 16'h1204, "== with don't-care bits");
    op_case(0, NE, 16'h0000, 16'h00F0, 0, 16'h0005, 16'h0010, "!= with don't-care bits");
    op_case(0, LT, 16'h0010, 0, 0, 16'hFFF8, 16'h0000, "<");
    op_case(0, LE, 16'h0010, 0, 0, 16'hFFF0, 16'h0000, "<=");
    op_case(0, GT, 16'h0200, 0, 0, 16'h0100, 16'h0201, ">");
    op_case(0, GE, 16'h0200, 0, 0, 16'h0100, 16'h0200, ">=");
    op_case(0, IN, 16'h0300, 0, 16'h0310, 16'h0100, 16'h0300, "in range");
    op_case(0, OUT, 16'h0000, 0, 16'h0310, 16'h0100, 16'h0311, "not in range");
    op_case(1, RISE, 0, 16'h8, 0, 16'h0100, 16'h0108, "rising edge");
    op_case(1, FALL, 0, 16'h8, 0, 16'h0100, 16'h0110, "falling edge");
    op_case(1, ANY, 0, 16'h4, 0, 16'h0100, 16'h0104, "any edge");
    op_case(1, RISE, 0, 16'h3, 0, 16'h0102, 16'h0103, "rising edge, two watched bits");
    op_case(2, EQ, 16'h002A, 16'h00FF, 0, 16'h0100, 16'h0157, "serial ==");
    op_case(2, NE, 16'h00FF, 16'h00FF, 0, 16'h07F8, 16'h0800, "serial !=");

    // a boolean expression, (U0 & !U1) | (U2 & !U1): the second term comes
    // first; with it switched off, the first
    all_units_never;
    set_unit(0, IN, 16'h0400, 0, 16'h04FF);
    set_unit(1, LT, 16'h5, 0, 0);
    set_unit(2, EQ, 16'h7F, 16'hFF, 0);
    set_expr(0, 1'b1, 5'd1);
    set_step(0, 0, 16'd1, 4'b0011, 3'b011, 3'b001, 3'b110, 3'b100);
    options(16, 1, 2, 1'b0, 1);
    freeze_at(16'h03F0);
    arm_run;
    check_frame(0, 16, 2, 16'h03FF, 2, "boolean expression, second term");
    reg_wr(0, 16'h2020, 32'b01);
    freeze_at(16'h03F0);
    arm_run;
    check_frame(0, 16, 2, 16'h0405, 2, "boolean expression, first term");

    // two expressions, AND of all, then OR of all
    all_units_never;
    set_unit(0, IN, 16'h0400, 0, 16'h04FF);
    set_unit(1, EQ, 16'h7, 16'hF, 0);
    only_unit(0);
    set_expr(1, 1'b1, 5'd1);
    set_step(1, 0, 16'd1, 4'b0001, 3'b010, 3'b010, 3'd0, 3'd0);
    options(16, 1, 2, 1'b1, 1);
    freeze_at(16'h03F0);
    arm_run;
    check_frame(0, 16, 2, 16'h0407, 2, "AND of all expressions");
    reg_wr(0, A_AND, 0);
    freeze_at(16'h03F0);
    arm_run;
    check_frame(0, 16, 2, 16'h03F7, 2, "OR of all expressions");

    // a sequence: U1 #3 THEN U0 #2
    all_units_never;
    set_unit(0, EQ, 16'h0009, 16'h000F, 0);
    set_unit(1, EQ, 16'h2, 16'hF, 0);
    set_expr(0, 1'b1, 5'd2);
    set_step(0, 0, 16'd3, 4'b0001, 3'b010, 3'b010, 3'd0, 3'd0);
    set_step(0, 1, 16'd2, 4'b0001, 3'b001, 3'b001, 3'd0, 3'd0);
    options(16, 1, 2, 1'b0, 1);
    freeze_at(16'h0500);
    arm_run;
    check_frame(0, 16, 2, 16'h0539, 2, "sequence with counts");

    // the final event counter: the third event fires
    set_expr(0, 1'b1, 5'd1);
    set_step(0, 0, 16'd1, 4'b0001, 3'b010, 3'b010, 3'd0, 3'd0);
    options(16, 1, 2, 1'b0, 3);
    freeze_at(16'h0500);
    arm_run;
    check_frame(0, 16, 2, 16'h0522, 2, "final event counter");
    reg_wr(0, A_FINAL, 20);    // above the core's maximum of 8
    freeze_at(16'h0500);
    arm_run;
    check_frame(0, 16, 2, 16'h0572, 2, "final event counter at its maximum");

    // with AND, a completed sequence holds until the other expression comes
    set_expr(0, 1'b1, 5'd1);
    set_step(0, 0, 16'd2, 4'b0001, 3'b010, 3'b010, 3'd0, 3'd0);
    set_unit(0, GE, 16'h0530, 0, 0);
    set_expr(1, 1'b1, 5'd1);
    set_step(1, 0, 16'd1, 4'b0001, 3'b001, 3'b001, 3'd0, 3'd0);
    options(16, 1, 2, 1'b1, 1);
    freeze_at(16'h0500);
    arm_run;
    check_frame(0, 16, 2, 16'h0530, 2, "AND with a completed sequence");

    // a condition true from the start still waits for its pre-trigger samples
    all_units_never;
    set_unit(0, GE, 16'h0000, 0, 0);
    only_unit(0);
    options(16, 1, 8, 1'b0, 1);
    freeze_at(16'hF000);      // the previous capture's samples differ
    run_cnt = 1'b1;
    reg_wr(0, A_CMD, 32'd1);
    wait_status(32'h105, 32'h004);
    hub_read(0, 16'h6000, 1'b1, 3);
    start = jw_out[4];
    hub_read(0, 16'h8000, 1'b1, 32);
    c = jw_out[2 + 2 * ((start + 8) % 16)][15:0];
    check_frame(0, 16, 8, c, 0, "pre-trigger samples filled before the trigger");

    // trigger positions over a 64-sample window: pre, center, post, user
    all_units_never;
    set_unit(0, EQ, 16'h1000, 16'hFFFF, 0);
    only_unit(0);
    for (f = 0; f < 6; f = f + 1) begin
      k = (f == 0) ? 4 : (f == 1) ? 32 : (f == 2) ? 59 : (f == 3) ? 17 : (f == 4) ? 0 : 63;
      options(64, 1, k, 1'b0, 1);
      freeze_at(16'h0F80);
      arm_run;
      check_frame(0, 64, k, 16'h1000, 0, "trigger position");
      reg_rd(0, A_STORED, w);
      check_eq(w, 64, "samples counted");
    end

    // a position beyond the window is taken as its last sample
    options(16, 1, 100, 1'b0, 1);
    freeze_at(16'h0F80);
    arm_run;
    check_frame(0, 16, 15, 16'h1000, 0, "position beyond the window");

    // several triggers into segments: nibble 5, every 16 cycles
    all_units_never;
    set_unit(1, EQ, 16'h5, 16'hF, 0);
    only_unit(1);
    options(32, 4, 4, 1'b0, 1);
    freeze_at(16'h2000);
    arm_run;
    for (f = 0; f < 4; f = f + 1) check_frame(f, 32, 4, 16'h2005 + 32 * f, 0, "segment");
    reg_rd(0, A_FRAMES, w); check_eq(w, 4, "triggers counted");
    reg_rd(0, A_STORED, w); check_eq(w, 128, "samples counted over segments");

    // manual trigger: a condition that never comes, four triggers asked for
    all_units_never;
    only_unit(0);
    options(16, 4, 8, 1'b0, 1);
    reg_wr(0, A_CMD, 32'd1);
    wait_status(32'h81, 32'h81);
    reg_wr(0, A_CMD, 32'd4);
    wait_status(32'h105, 32'h004);
    reg_rd(0, A_STATUS, w); check(w[5], "manual flag in status");
    reg_rd(0, A_FRAMES, w); check_eq(w, 1, "manual trigger ends the run after one frame");
    hub_read(0, 16'h6000, 1'b1, 3);
    check(jw_out[3][31], "record marks the manual trigger");

    // stop: the core goes idle without data, and takes configuration again
    reg_wr(0, A_CMD, 32'd1);
    wait_status(32'h81, 32'h81);
    reg_wr(0, A_SAMPLES, 32);
    reg_rd(0, A_SAMPLES, w); check_eq(w, 16, "configuration is locked while armed");
    reg_wr(0, A_CMD, 32'd2);
    wait_status(32'h10D, 32'h008);
    reg_wr(0, A_SAMPLES, 32);
    reg_rd(0, A_SAMPLES, w); check_eq(w, 32, "configuration writable after stop");

    // the design's reset in the middle of a capture (waiting, then recording)
    reg_wr(0, A_CMD, 32'd1);
    wait_status(32'h81, 32'h81);
    @(negedge clk) rst = 1;
    repeat (3) @(negedge clk);
    rst = 0;
    wait_status(32'h115, 32'h010);
    set_unit(0, EQ, 16'h0040, 16'hFFFF, 0);
    options(64, 1, 4, 1'b0, 1);
    freeze_at(16'h0000);
    reg_wr(0, A_CMD, 32'd1);
    wait_status(32'h81, 32'h81);
    @(negedge clk) run_cnt = 1'b1;
    wait (cnt == 16'h0042);   // two samples into the recording
    @(negedge clk) rst = 1;
    @(negedge clk) rst = 0;
    wait_status(32'h115, 32'h010);
    // after reset, time restarts: a new capture's stamp counts from it
    freeze_at(16'h0000);
    @(negedge clk) rst = 1;
    @(negedge clk) rst = 0;
    reg_wr(0, A_CMD, 32'd1);
    wait_status(32'h81, 32'h81);
    @(negedge clk) run_cnt = 1'b1;
    wait_status(32'h105, 32'h004);
    check_frame(0, 64, 4, 16'h0040, 4, "capture after reset");
    finish_tb;
  end
endmodule
