<?xml version="1.0" encoding="UTF-8"?>
<!-- The generic list style: one table row per record, one column per return field. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="html" encoding="UTF-8" indent="yes"/>
  <xsl:template match="/records">
    <table class="records">
      <thead>
        <tr>
          <xsl:for-each select="record[1]/field">
            <th><xsl:value-of select="@label"/></th>
          </xsl:for-each>
        </tr>
      </thead>
      <tbody>
        <xsl:for-each select="record">
          <tr>
            <xsl:for-each select="field">
              <td><xsl:value-of select="."/></td>
            </xsl:for-each>
          </tr>
        </xsl:for-each>
      </tbody>
    </table>
  </xsl:template>
</xsl:stylesheet>
