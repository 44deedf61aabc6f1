// Controller core: LEDs read back, switches driven, a user memory port,
// control registers (written and read back) and status registers (read),
// each up to 1024 bits, reached over the hub's bus (TCK domain); the
// design-side ports live in `clk`.
//
// Clock crossing (see docs/debug-cores.md):
// - Switches and control registers are written into TCK-side staging
//   registers; a commit copies the staging into a transfer register and
//   sends a req toggle; `clk` loads its outputs from the transfer register
//   when the synchronised toggle arrives and answers with an ack toggle.
//   A commit while one is in flight waits and goes out after the ack.
// - A memory operation sends address, data and kind the same way; `clk`
//   performs it and returns the word read with the ack.
// - LEDs and status registers come back as a snapshot through a req/ack
//   toggle handshake, so a multi-bit value is always read whole.
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

  // first bit of control / status register i in its flat vector
  function integer coff;
    input integer i;
    integer k;
    begin
      coff = 0;
      for (k = 0; k < i; k = k + 1) coff = coff + {16'd0, CTRL_WIDTHS[16*k +: 16]};
    end
  endfunction
  function integer soff;
    input integer i;
    integer k;
    begin
      soff = 0;
      for (k = 0; k < i; k = k + 1) soff = soff + {16'd0, STAT_WIDTHS[16*k +: 16]};
    end
  endfunction

  localparam [7:0] FORMAT = 8'd1;
  localparam integer XW = CTRL_TOTAL + N_SWITCHES;   // what a commit carries
  localparam integer SNW = STAT_TOTAL + N_LEDS;      // what a snapshot carries

  wire wr = bus_sel & bus_we;
  wire rd = bus_sel & bus_re;
  wire [31:0] a32 = {16'd0, bus_addr};

  // ---------------------------------------------- switches and controls
  reg [N_SWITCHES-1:0] sw_stage = {N_SWITCHES{1'b0}};
  wire [CTRL_TOTAL-1:0] ctrl_stage;
  reg [XW-1:0] x_t = {XW{1'b0}};
  reg creq = 1'b0, cpend = 1'b0;
  (* ASYNC_REG = "TRUE" *) reg [1:0] cack_s = 2'b0;
  wire cbusy = creq != cack_s[1];

  // ---------------------------------------------------- memory requests
  reg [MEM_AW-1:0] maddr = {MEM_AW{1'b0}};
  reg [MEM_DW-1:0] mbuf = {MEM_DW{1'b0}};
  reg mwrite = 1'b0, mincr = 1'b0, mreq = 1'b0, mbusy = 1'b0, overrun = 1'b0;
  (* ASYNC_REG = "TRUE" *) reg [1:0] mack_s = 2'b0;
  reg [MEM_DW-1:0] mrd_c = {MEM_DW{1'b0}};   // clk side: the word read, stable once acked
  wire cmd = wr && a32 == 32'h10;
  integer b;

  always @(posedge tck) begin
    cack_s <= {cack_s[0], cack};
    mack_s <= {mack_s[0], mack};
    // commit: now, or as soon as the previous one is acknowledged
    if ((cmd && bus_wdata[0]) || cpend) begin
      if (!cbusy) begin
        x_t <= {ctrl_stage, sw_stage};
        creq <= ~creq;
        cpend <= 1'b0;
      end else
        cpend <= 1'b1;
    end
    if (cmd && bus_wdata[4]) overrun <= 1'b0;
    if (cmd && (bus_wdata[1] || bus_wdata[2])) begin
      if (mbusy) overrun <= 1'b1;
      else begin
        mwrite <= bus_wdata[2];
        mincr <= bus_wdata[3];
        mreq <= ~mreq;
        mbusy <= 1'b1;
      end
    end
    if (mbusy && mreq == mack_s[1]) begin
      mbusy <= 1'b0;
      if (!mwrite) mbuf <= mrd_c;
      if (mincr) maddr <= maddr + 1'b1;
    end
    if (wr && a32 == 32'h12) begin
      if (mbusy) overrun <= 1'b1;
      else maddr <= bus_wdata[MEM_AW-1:0];
    end
    if (wr && a32[15:8] == 8'h03) begin
      if (mbusy) overrun <= 1'b1;
      else
        for (b = 0; b < MEM_DW; b = b + 1)
          if (a32 == 32'h300 + b / 32) mbuf[b] <= bus_wdata[b % 32];
    end
    if (wr && a32[15:8] == 8'h02)
      for (b = 0; b < N_SWITCHES; b = b + 1)
        if (a32 == 32'h200 + b / 32) sw_stage[b] <= bus_wdata[b % 32];
  end

  // control register staging, one block per register
  wire [32*N_CTRL-1:0] crd;
  wire [32*N_STAT-1:0] srd;
  wire [32*N_CTRL-1:0] cwidth;
  wire [32*N_STAT-1:0] swidth;
  reg [SNW-1:0] snap = {SNW{1'b0}};
  genvar g;
  generate
    for (g = 0; g < N_CTRL; g = g + 1) begin : creg
      localparam integer W = {16'd0, CTRL_WIDTHS[16*g +: 16]};
      localparam integer OFF = coff(g);
      localparam [31:0] BASE = 32'h1000 + g * 32'h20;
      reg [W-1:0] r = {W{1'b0}};
      integer k;
      always @(posedge tck)
        if (wr && a32[15:5] == BASE[15:5])
          for (k = 0; k < W; k = k + 1)
            if (a32 == BASE + k / 32) r[k] <= bus_wdata[k % 32];
      // a read registers whether it is this register and which word; the
      // word itself is selected from there
      reg hit_r = 1'b0;
      reg [4:0] word_r = 5'd0;
      always @(posedge tck)
        if (rd) begin
          hit_r <= a32[15:5] == BASE[15:5];
          word_r <= a32[4:0];
        end
      reg [31:0] v;
      integer kk;
      always @(*) begin
        v = 32'd0;
        for (kk = 0; kk < W; kk = kk + 1)
          if (hit_r && {27'd0, word_r} == kk / 32) v[kk % 32] = r[kk];
      end
      assign ctrl_stage[OFF +: W] = r;
      assign crd[32*g +: 32] = v;
      assign cwidth[32*g +: 32] = W;
    end
    for (g = 0; g < N_STAT; g = g + 1) begin : sreg
      localparam integer W = {16'd0, STAT_WIDTHS[16*g +: 16]};
      localparam integer OFF = soff(g);
      localparam [31:0] BASE = 32'h2000 + g * 32'h20;
      reg hit_r = 1'b0;
      reg [4:0] word_r = 5'd0;
      always @(posedge tck)
        if (rd) begin
          hit_r <= a32[15:5] == BASE[15:5];
          word_r <= a32[4:0];
        end
      reg [31:0] v;
      integer kk;
      always @(*) begin
        v = 32'd0;
        for (kk = 0; kk < W; kk = kk + 1)
          if (hit_r && {27'd0, word_r} == kk / 32) v[kk % 32] = snap[OFF + kk];
      end
      assign srd[32*g +: 32] = v;
      assign swidth[32*g +: 32] = W;
    end
  endgenerate

  // ------------------------------------------------------------ clk side
  (* ASYNC_REG = "TRUE" *) reg [2:0] creq_s = 3'b0;
  (* ASYNC_REG = "TRUE" *) reg [2:0] mreq_s = 3'b0;
  reg cack = 1'b0, mack = 1'b0;
  reg [N_SWITCHES-1:0] sw_r = {N_SWITCHES{1'b0}};
  reg [CTRL_TOTAL-1:0] ctrl_r = {CTRL_TOTAL{1'b0}};
  reg [MEM_AW-1:0] ma_r = {MEM_AW{1'b0}};
  reg [MEM_DW-1:0] md_r = {MEM_DW{1'b0}};
  reg we_r = 1'b0;
  reg [1:0] mph = 2'd0;
  always @(posedge clk) begin
    creq_s <= {creq_s[1:0], creq};
    if (creq_s[2] != creq_s[1]) begin
      {ctrl_r, sw_r} <= x_t;
      cack <= creq_s[1];
    end
    we_r <= 1'b0;
    // a memory operation waits while the design is in reset
    case (mph)
      2'd0:
        if (!rst) begin
          mreq_s <= {mreq_s[1:0], mreq};
          if (mreq_s[2] != mreq_s[1]) begin
            ma_r <= maddr;
            md_r <= mbuf;
            we_r <= mwrite;
            mph <= 2'd1;
          end
        end
      2'd1: mph <= 2'd2;
      default: begin
        // an address held for two cycles reads through a memory with
        // one cycle of read latency
        mrd_c <= mem_rdata;
        mack <= mreq_s[2];
        mph <= 2'd0;
      end
    endcase
  end
  assign switches = sw_r;
  assign ctrl = ctrl_r;
  assign mem_addr = ma_r;
  assign mem_wdata = md_r;
  assign mem_we = we_r;

  // LEDs and status registers back to TCK
  reg [SNW-1:0] hold = {SNW{1'b0}};
  reg sreq = 1'b0, sack = 1'b0;
  (* ASYNC_REG = "TRUE" *) reg [1:0] sack_s = 2'b0;
  (* ASYNC_REG = "TRUE" *) reg [1:0] sreq_s = 2'b0;
  always @(posedge clk) begin
    sack_s <= {sack_s[0], sack};
    if (sack_s[1] == sreq) begin
      hold <= {leds, stat};
      sreq <= ~sreq;
    end
  end
  always @(posedge tck) begin
    sreq_s <= {sreq_s[0], sreq};
    if (sreq_s[1] != sack) begin
      snap <= hold;
      sack <= ~sack;
    end
  end

  // ---------------------------------------------------------- bus reads
  reg [31:0] rreg = 32'd0;
  integer i;
  always @(posedge tck)
    if (rd) begin
      rreg <= 32'd0;
      case (bus_addr)
        16'h0000: rreg <= {16'h0DC0, FORMAT, 8'd2};
        16'h0001: rreg <= HASH;
        16'h0002: rreg <= N_LEDS;
        16'h0003: rreg <= N_SWITCHES;
        16'h0004: rreg <= MEM_AW;
        16'h0005: rreg <= MEM_DW;
        16'h0006: rreg <= N_CTRL;
        16'h0007: rreg <= N_STAT;
        16'h0008: rreg <= CTRL_TOTAL;
        16'h0009: rreg <= STAT_TOTAL;
        16'h0011: rreg <= {29'd0, overrun, mbusy, cbusy | cpend};
        16'h0012: rreg[MEM_AW-1:0] <= maddr;
        default: ;
      endcase
      for (i = 0; i < N_LEDS; i = i + 1)
        if (a32 == 32'h100 + i / 32) rreg[i % 32] <= snap[STAT_TOTAL + i];
      for (i = 0; i < N_SWITCHES; i = i + 1)
        if (a32 == 32'h200 + i / 32) rreg[i % 32] <= sw_stage[i];
      for (i = 0; i < MEM_DW; i = i + 1)
        if (a32 == 32'h300 + i / 32) rreg[i % 32] <= mbuf[i];
      for (i = 0; i < N_CTRL; i = i + 1)
        if (a32 == 32'h800 + i) rreg <= cwidth[32*i +: 32];
      for (i = 0; i < N_STAT; i = i + 1)
        if (a32 == 32'hC00 + i) rreg <= swidth[32*i +: 32];
    end

  // the addressed register answers, every other one reads 0
  reg [31:0] rv;
  integer j;
  always @(*) begin
    rv = rreg;
    for (j = 0; j < N_CTRL; j = j + 1) rv = rv | crd[32*j +: 32];
    for (j = 0; j < N_STAT; j = j + 1) rv = rv | srd[32*j +: 32];
  end
  assign bus_rdata = rv;
endmodule
`default_nettype wire
