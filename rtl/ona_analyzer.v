// Logic analyzer core: trigger units, trigger expressions with sequences,
// a final event counter, segmented sample memory with a trigger position,
// and per-trigger time stamps. Configured and read over the hub's bus
// (TCK domain); samples and triggers in the `clk` domain.
//
// Clock crossing (see docs/debug-cores.md):
// - Configuration registers live in the TCK domain and change only while
//   the core is idle: the TCK side refuses configuration writes from arm
//   until the clk side has reported, through the status handshake, that it
//   has seen the arm and stopped again. The clk side therefore only reads
//   configuration that has been stable since before the arm crossed.
// - Arm, stop and manual trigger are toggles, each through a two-flop
//   synchroniser into `clk`.
// - Status (flags, counters) goes back as a snapshot through a req/ack
//   toggle handshake; no multi-bit value is sampled raw.
// - Sample and trigger-record memories are written in `clk` and read in
//   TCK (dual-clock RAMs); the host reads them once the core is done.
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
    parameter [31:0] HASH = 32'h0,
    // product terms per sequence step (OR of up to N_TERMS AND-terms)
    parameter integer N_TERMS = 4)
  (input wire clk, input wire rst,
   input wire [SAMPLE_WIDTH-1:0] probe,
   input wire [UNIT_IN_WIDTH-1:0] unit_in,
   input wire tck, input wire bus_sel, input wire [15:0] bus_addr, input wire [31:0] bus_wdata,
   input wire bus_we, input wire bus_re, output wire [31:0] bus_rdata);

  // ---------------------------------------------------------------- sizes
  function integer clog2;
    input integer v;
    integer k;
    begin
      clog2 = 0;
      for (k = v - 1; k > 0; k = k >> 1) clog2 = clog2 + 1;
    end
  endfunction

  function integer unit_cw;   // compare width of unit i
    input integer i;
    begin
      if (UNIT_SERIAL[16*i +: 16] != 16'd0) unit_cw = {16'd0, UNIT_SERIAL[16*i +: 16]};
      else unit_cw = {16'd0, UNIT_WIDTHS[16*i +: 16]};
    end
  endfunction

  function integer unit_off;  // first bit of unit i in unit_in
    input integer i;
    integer k;
    begin
      unit_off = 0;
      for (k = 0; k < i; k = k + 1)
        unit_off = unit_off + ((UNIT_SERIAL[16*k +: 16] != 16'd0) ? 1 : {16'd0, UNIT_WIDTHS[16*k +: 16]});
    end
  endfunction

  localparam integer N_STEPS = 16;
  localparam integer MEM_DEPTH = (CAPACITY > 0) ? CAPACITY : DEPTH_MAX;
  localparam integer AW = (MEM_DEPTH > 1) ? clog2(MEM_DEPTH) : 1;
  localparam integer SW_WORDS = (SAMPLE_WIDTH + 31) / 32;
  localparam integer SLOG = clog2(SW_WORDS);           // bus words per sample: 1 << SLOG
  localparam integer TRW = (MAX_TRIGGERS > 1) ? clog2(MAX_TRIGGERS) : 1;
  localparam integer REC_W = 48 + AW + 1;              // time stamp, frame start, manual
  localparam [7:0] FORMAT = 8'd1;

  // ------------------------------------------------- bus access (TCK side)
  wire wr = bus_sel & bus_we;
  wire [31:0] a32 = {16'd0, bus_addr};
  wire rd = bus_sel & bus_re;

  reg arm_t = 1'b0, stop_t = 1'b0, man_t = 1'b0;   // command toggles
  reg [AW:0] cfg_samples = MEM_DEPTH[AW:0];
  reg [15:0] cfg_ntrig = 16'd1;
  reg [AW:0] cfg_pos = {(AW + 1){1'b0}};
  reg cfg_and = 1'b0;
  reg [15:0] cfg_final = 16'd1;
  reg [15:0] page = 16'd0;

  // status snapshot from the clk side
  localparam integer ST_W = 32 + 16 + 8;
  reg [ST_W-1:0] snap = {ST_W{1'b0}};
  wire [7:0] snap_flags = snap[7:0];
  wire snap_running = snap_flags[0];
  wire snap_arm_seen = snap_flags[6];
  wire busy = (arm_t != snap_arm_seen) | snap_running;
  wire cfg_wr = wr & ~busy;

  always @(posedge tck) begin
    if (wr && bus_addr == 16'h0010) begin
      if (bus_wdata[0] && !busy) arm_t <= ~arm_t;
      if (bus_wdata[1]) stop_t <= ~stop_t;
      if (bus_wdata[2]) man_t <= ~man_t;
    end
    if (cfg_wr) begin
      case (bus_addr)
        16'h0011: cfg_samples <= bus_wdata[AW:0];
        16'h0012: cfg_ntrig <= bus_wdata[15:0];
        16'h0013: cfg_pos <= bus_wdata[AW:0];
        16'h0014: cfg_and <= bus_wdata[0];
        16'h0015: cfg_final <= bus_wdata[15:0];
        default: ;
      endcase
    end
    if (wr && bus_addr == 16'h0016) page <= bus_wdata[15:0];
  end

  // ------------------------------------------------------- trigger units
  // Pipeline in clk: stage 1 registers the unit inputs (serial units shift),
  // stage 2 registers the unit hits; the probe is delayed to match, so the
  // decision at stage 2 concerns the sample it writes.
  wire [N_UNITS-1:0] hit_c;
  reg [N_UNITS-1:0] hit = {N_UNITS{1'b0}};
  wire [32*N_UNITS-1:0] unit_info;

  genvar gu;
  generate
    for (gu = 0; gu < N_UNITS; gu = gu + 1) begin : unit
      localparam integer CW = unit_cw(gu);
      localparam integer OFF = unit_off(gu);
      localparam integer SER = (UNIT_SERIAL[16*gu +: 16] != 16'd0) ? 1 : 0;
      localparam [31:0] BASE = 32'h1000 + gu * 32'h0080;
      reg [3:0] op = 4'd15;
      reg [CW-1:0] val = {CW{1'b0}};
      reg [CW-1:0] msk = {CW{1'b0}};
      reg [CW-1:0] hi = {CW{1'b0}};
      integer b;
      always @(posedge tck)
        if (cfg_wr && bus_addr[15:7] == BASE[15:7]) begin
          if (a32 == BASE) op <= bus_wdata[3:0];
          for (b = 0; b < CW; b = b + 1) begin
            if (a32 == BASE + 32'h20 + b / 32) val[b] <= bus_wdata[b % 32];
            if (a32 == BASE + 32'h40 + b / 32) msk[b] <= bus_wdata[b % 32];
            if (a32 == BASE + 32'h60 + b / 32) hi[b] <= bus_wdata[b % 32];
          end
        end

      reg [CW-1:0] cur = {CW{1'b0}};
      reg [CW-1:0] prev = {CW{1'b0}};
      reg [CW-1:0] nxt;
      if (SER != 0) begin : serial
        // the newest bit is the least significant
        always @(*) begin
          nxt = cur << 1;
          nxt[0] = unit_in[OFF];
        end
      end else begin : parallel
        always @(*) nxt = unit_in[OFF +: CW];
      end
      always @(posedge clk) begin
        cur <= nxt;
        prev <= cur;
      end

      wire eq = ((cur ^ val) & msk) == {CW{1'b0}};
      wire lt = cur < val;
      wire gt = cur > val;
      wire above = cur > hi;
      wire rise = |(~prev & cur & msk);
      wire fall = |(prev & ~cur & msk);
      wire any = |((prev ^ cur) & msk);
      reg hv;
      always @(*) begin
        case (op)
          4'd0: hv = eq;
          4'd1: hv = ~eq;
          4'd2: hv = lt;
          4'd3: hv = ~gt;
          4'd4: hv = gt;
          4'd5: hv = ~lt;
          4'd6: hv = rise;
          4'd7: hv = fall;
          4'd8: hv = any;
          4'd9: hv = ~lt & ~above;
          4'd10: hv = lt | above;
          default: hv = 1'b0;
        endcase
      end
      assign hit_c[gu] = hv;
      assign unit_info[32*gu +: 32] = {op, 11'd0, SER[0], CW[15:0]};
    end
  endgenerate

  always @(posedge clk) hit <= hit_c;

  // ------------------------------------------- clk side: commands, state
  (* ASYNC_REG = "TRUE" *) reg [2:0] arm_s = 3'b0;
  (* ASYNC_REG = "TRUE" *) reg [2:0] stop_s = 3'b0;
  (* ASYNC_REG = "TRUE" *) reg [2:0] man_s = 3'b0;
  always @(posedge clk) begin
    arm_s <= {arm_s[1:0], arm_t};
    stop_s <= {stop_s[1:0], stop_t};
    man_s <= {man_s[1:0], man_t};
  end
  wire arm_ev = arm_s[2] ^ arm_s[1];
  wire stop_ev = stop_s[2] ^ stop_s[1];
  wire man_ev = man_s[2] ^ man_s[1];

  localparam [1:0] S_IDLE = 2'd0, S_WAIT = 2'd1, S_REC = 2'd2;
  reg [1:0] state = S_IDLE;
  reg done = 1'b0, stopped = 1'b0, aborted = 1'b0, manual = 1'b0;
  reg [AW-1:0] base = {AW{1'b0}};   // first address of the current segment
  reg [AW-1:0] off = {AW{1'b0}};    // write offset inside it
  reg [AW:0] fill = {(AW + 1){1'b0}};
  reg [AW:0] post = {(AW + 1){1'b0}};
  reg [15:0] frames = 16'd0;
  reg [31:0] stored = 32'd0;
  // events counted towards the final counter: as wide as its maximum needs
  localparam integer FCW = (FINAL_COUNTER_MAX > 1) ? clog2(FINAL_COUNTER_MAX) : 1;
  reg [FCW-1:0] events = {FCW{1'b0}};
  reg [47:0] tnow = 48'hFFFF_FFFF_FFFE;  // time of the sample at stage 2
  // time of the first sample of the run: written at the arm, read by TCK
  // only once the status shows the arm seen, so it is still by then
  reg [47:0] t_arm = 48'd0;
  reg man_frame = 1'b0;

  // Settings out of range are taken at the nearest sensible value, so a bad
  // configuration cannot make a window that never ends or overrun the
  // record memory.
  localparam [AW:0] DEPTH_W = MEM_DEPTH[AW:0];
  localparam [15:0] MAXTRIG_W = MAX_TRIGGERS[15:0];
  wire [AW:0] n_samp = (cfg_samples == {(AW + 1){1'b0}} || cfg_samples > DEPTH_W) ? DEPTH_W : cfg_samples;
  wire [AW:0] n_pos = (cfg_pos >= n_samp) ? n_samp - 1'b1 : cfg_pos;
  wire [15:0] n_trig = (cfg_ntrig == 16'd0) ? 16'd1 : (cfg_ntrig > MAXTRIG_W) ? MAXTRIG_W : cfg_ntrig;
  wire [AW-1:0] smask = n_samp[AW-1:0] - 1'b1;
  wire eligible = (state == S_WAIT) && (fill >= n_pos);

  // ------------------------------------------------- trigger expressions
  wire [N_EXPRS-1:0] te_en, te_r;
  wire [32*N_EXPRS-1:0] te_info;
  wire [N_UNITS-1:0] h = hit;
  wire cond_and = &(te_r | ~te_en);
  wire cond_or = |(te_r & te_en);
  wire cond = (|te_en) & (cfg_and ? cond_and : cond_or);
  // the final count, 1..FINAL_COUNTER_MAX (0 counts as 1, more as the maximum)
  localparam [15:0] FINAL_MAX_W = (FINAL_COUNTER_MAX > 1) ? FINAL_COUNTER_MAX[15:0] : 16'd1;
  wire [15:0] final_n = (cfg_final == 16'd0) ? 16'd1 : (cfg_final > FINAL_MAX_W) ? FINAL_MAX_W : cfg_final;
  wire last_event = {{(16 - FCW){1'b0}}, events} + 16'd1 >= final_n;
  wire trig = eligible & cond & last_event;
  wire fire = eligible & ((cond & last_event) | manual);
  // sequences restart on arm, on reset and after each trigger
  wire seq_reset = rst | arm_ev;

  genvar ge;
  generate
    for (ge = 0; ge < N_EXPRS; ge = ge + 1) begin : expr
      localparam [31:0] BASE = 32'h2000 + ge * 32'h0400;
      reg en = 1'b0;
      reg [4:0] nsteps = 5'd1;
      always @(posedge tck)
        if (cfg_wr && a32 == BASE) begin
          en <= bus_wdata[31];
          nsteps <= bus_wdata[4:0];
        end

      // The step table is small RAM (written in TCK, read asynchronously in
      // clk at the current step, which only moves while the table cannot
      // change): counts at +0x10+s, term enables at +0x20+s, term t of step s
      // at +0x200+32t+2s (care mask over the units) and +1 (their values).
      wire [9:0] o = bus_addr[9:0];
      wire tab_wr = cfg_wr && bus_addr[15:10] == BASE[15:10];
      reg [15:0] cnt_tab [0:N_STEPS-1];
      reg [N_TERMS-1:0] en_tab [0:N_STEPS-1];
      integer q;
      initial
        for (q = 0; q < N_STEPS; q = q + 1) begin
          cnt_tab[q] = 16'd0;
          en_tab[q] = {N_TERMS{1'b0}};
        end
      always @(posedge tck) begin
        if (tab_wr && o[9:4] == 6'h01) cnt_tab[o[3:0]] <= bus_wdata[15:0];
        if (tab_wr && o[9:4] == 6'h02) en_tab[o[3:0]] <= bus_wdata[N_TERMS-1:0];
      end

      reg [3:0] step = 4'd0;
      reg [15:0] cnt = 16'd0;
      reg sdone = 1'b0;
      wire [N_TERMS-1:0] term_en = en_tab[step];
      wire [N_TERMS-1:0] term_hit;
      genvar gt;
      for (gt = 0; gt < N_TERMS; gt = gt + 1) begin : term
        reg [N_UNITS-1:0] care_tab [0:N_STEPS-1];
        reg [N_UNITS-1:0] val_tab [0:N_STEPS-1];
        integer z;
        initial
          for (z = 0; z < N_STEPS; z = z + 1) begin
            care_tab[z] = {N_UNITS{1'b0}};
            val_tab[z] = {N_UNITS{1'b0}};
          end
        always @(posedge tck)
          if (tab_wr && o[9] && o[8:5] == gt) begin
            if (!o[0]) care_tab[o[4:1]] <= bus_wdata[N_UNITS-1:0];
            else val_tab[o[4:1]] <= bus_wdata[N_UNITS-1:0];
          end
        assign term_hit[gt] = ((h ^ val_tab[step]) & care_tab[step]) == {N_UNITS{1'b0}};
      end
      // the current step: an OR of its enabled product terms
      wire sv = |(term_en & term_hit);
      wire [15:0] need = cnt_tab[step];
      wire [4:0] nst = (nsteps == 5'd0) ? 5'd1 : nsteps;
      // one step counted once is a level, anything else a sequence
      // (a one-step expression never leaves step 0)
      wire level = (nst == 5'd1) && (need <= 16'd1);
      wire adv = ~sdone & sv & (cnt + 16'd1 >= need);
      wire last = ({1'b0, step} == nst - 5'd1);
      wire r = level ? sv : (adv ? last : (cfg_and & sdone));
      always @(posedge clk)
        if (seq_reset || trig) begin
          step <= 4'd0;
          cnt <= 16'd0;
          sdone <= 1'b0;
        end else if (eligible && !level) begin
          if (adv) begin
            cnt <= 16'd0;
            if (last) begin
              step <= 4'd0;
              // with OR the completion itself is the event
              sdone <= cfg_and;
            end else
              step <= step + 4'd1;
          end else if (!sdone && sv)
            cnt <= cnt + 16'd1;
        end
      assign te_en[ge] = en;
      assign te_r[ge] = r;
      assign te_info[32*ge +: 32] = {en, 26'd0, nst};
    end
  endgenerate

  // ----------------------------------------------------- sample memory
  reg [SAMPLE_WIDTH-1:0] p1, p2;
  always @(posedge clk) begin
    p1 <= probe;
    p2 <= p1;
  end

  reg [SAMPLE_WIDTH-1:0] smem [0:MEM_DEPTH-1];
  reg [REC_W-1:0] rmem [0:MAX_TRIGGERS-1];
  wire writing = (state == S_WAIT) || (state == S_REC);
  wire [AW-1:0] waddr = base + off;
  wire [AW-1:0] start = (off - n_pos[AW-1:0]) & smask;
  always @(posedge clk) begin
    if (writing) smem[waddr] <= p2;
    if (fire) rmem[frames[TRW-1:0]] <= {manual, start, tnow};
  end

  wire [AW:0] post_n = n_samp - n_pos - 1'b1;   // samples after the trigger's
  wire frame_end = (fire && post_n == {(AW + 1){1'b0}}) || (state == S_REC && post == {{AW{1'b0}}, 1'b1});

  always @(posedge clk) begin
    tnow <= rst ? 48'hFFFF_FFFF_FFFE : tnow + 48'd1;
    if (rst) begin
      if (state != S_IDLE || arm_ev) aborted <= 1'b1;
      state <= S_IDLE;
      events <= {FCW{1'b0}};
    end else if (arm_ev) begin
      state <= S_WAIT;
      t_arm <= tnow + 48'd1;
      done <= 1'b0;
      stopped <= 1'b0;
      aborted <= 1'b0;
      manual <= 1'b0;
      man_frame <= 1'b0;
      base <= {AW{1'b0}};
      off <= {AW{1'b0}};
      fill <= {(AW + 1){1'b0}};
      frames <= 16'd0;
      stored <= 32'd0;
      events <= {FCW{1'b0}};
    end else if (stop_ev && state != S_IDLE) begin
      state <= S_IDLE;
      stopped <= 1'b1;
    end else begin
      if (man_ev && state != S_IDLE) manual <= 1'b1;
      if (state == S_WAIT) begin
        off <= (off + 1'b1) & smask;
        if (fill < n_pos) fill <= fill + 1'b1;
        if (eligible && cond) events <= trig ? {FCW{1'b0}} : events + 1'b1;
        if (fire) begin
          man_frame <= manual;
          stored <= stored + {{(31 - AW){1'b0}}, n_pos} + 32'd1;
          post <= post_n;
          state <= S_REC;
        end
      end else if (state == S_REC) begin
        off <= (off + 1'b1) & smask;
        post <= post - 1'b1;
        stored <= stored + 32'd1;
      end
      if (frame_end) begin
        frames <= frames + 16'd1;
        base <= base + n_samp[AW-1:0];
        off <= {AW{1'b0}};
        fill <= {(AW + 1){1'b0}};
        // a manual trigger ends the run after its frame
        if (frames + 16'd1 >= n_trig || (fire ? manual : man_frame)) begin
          state <= S_IDLE;
          done <= 1'b1;
        end else
          state <= S_WAIT;
      end
    end
  end

  // -------------------------------------------- status back to TCK side
  wire [7:0] flags = {eligible, arm_s[2], manual, aborted, stopped, done, state == S_REC, state != S_IDLE};
  reg [ST_W-1:0] hold = {ST_W{1'b0}};
  reg sreq = 1'b0, sack = 1'b0;
  (* ASYNC_REG = "TRUE" *) reg [1:0] sack_s = 2'b0;
  (* ASYNC_REG = "TRUE" *) reg [1:0] sreq_s = 2'b0;
  always @(posedge clk) begin
    sack_s <= {sack_s[0], sack};
    if (sack_s[1] == sreq) begin
      hold <= {stored, frames, flags};
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

  // ------------------------------------------------------- bus reads
  // Sample memory: 0x8000-0xFFFF plus the page register form a word
  // offset; each sample takes 1 << SLOG words, its bits from word 0 up.
  /* verilator lint_off UNUSEDSIGNAL */
  wire [30:0] moff = {page, bus_addr[14:0]};   // only the bits the memory needs are used
  /* verilator lint_on UNUSEDSIGNAL */
  wire [AW-1:0] ridx = moff[SLOG +: AW];
  reg [SAMPLE_WIDTH-1:0] sq;
  reg [REC_W-1:0] rq;
  localparam [SLOG:0] WMASK = (1 << SLOG) - 1;
  reg [31:0] sword = 32'd0;
  reg [1:0] rword = 2'd0;
  reg [1:0] rsrc = 2'd0;   // 0 registers, 1 samples, 2 trigger records
  reg [31:0] rreg = 32'd0;

  reg [31:0] rv;
  integer i;
  always @(*) begin
    rv = 32'd0;
    case (bus_addr)
      16'h0000: rv = {16'h0DC0, FORMAT, 8'd1};
      16'h0001: rv = HASH;
      16'h0002: rv = SAMPLE_WIDTH;
      16'h0003: rv = DEPTH_MIN;
      16'h0004: rv = DEPTH_MAX;
      16'h0005: rv = CAPACITY;
      16'h0006: rv = MAX_TRIGGERS;
      16'h0007: rv = FINAL_COUNTER_MAX;
      16'h0008: rv = N_UNITS;
      16'h0009: rv = N_EXPRS;
      16'h000A: rv = N_TERMS;
      16'h000B: rv = N_STEPS;
      16'h000C: rv = UNIT_IN_WIDTH;
      16'h000D: rv = {8'd48, 8'd0, 8'd4, SLOG[7:0]};
      16'h000E: rv = MEM_DEPTH;
      16'h0011: rv[AW:0] = cfg_samples;
      16'h0012: rv[15:0] = cfg_ntrig;
      16'h0013: rv[AW:0] = cfg_pos;
      16'h0014: rv[0] = cfg_and;
      16'h0015: rv[15:0] = cfg_final;
      16'h0016: rv[15:0] = page;
      16'h0018: rv = {23'd0, busy, snap_flags};
      16'h0019: rv = {16'd0, snap[23:8]};
      16'h001A: rv = snap[55:24];
      16'h001B: rv = t_arm[31:0];
      16'h001C: rv = {16'd0, t_arm[47:32]};
      default: ;
    endcase
    for (i = 0; i < N_UNITS; i = i + 1)
      if (a32 == 32'h1000 + i * 32'h0080) rv = unit_info[32*i +: 32];
    for (i = 0; i < N_EXPRS; i = i + 1)
      if (a32 == 32'h2000 + i * 32'h0400) rv = te_info[32*i +: 32];
  end

  always @(posedge tck)
    if (rd) begin
      rreg <= rv;
      rsrc <= bus_addr[15] ? 2'd1 : (bus_addr[15:13] == 3'b011) ? 2'd2 : 2'd0;
      sword <= {{(31 - SLOG){1'b0}}, moff[SLOG:0] & WMASK};
      rword <= bus_addr[1:0];
      sq <= smem[ridx];
      rq <= rmem[bus_addr[TRW+1:2]];
    end

  reg [31:0] out;
  integer bb;
  always @(*) begin
    out = 32'd0;
    case (rsrc)
      2'd1:
        for (bb = 0; bb < SAMPLE_WIDTH; bb = bb + 1)
          if (bb / 32 == sword) out[bb % 32] = sq[bb];
      2'd2:
        case (rword)
          2'd0: out = rq[31:0];
          2'd1: out = {rq[REC_W-1], 15'd0, rq[47:32]};
          2'd2: out[AW-1:0] = rq[48 +: AW];
          default: ;
        endcase
      default: out = rreg;
    endcase
  end
  assign bus_rdata = out;
endmodule
`default_nettype wire
